#!/usr/bin/env bash
# Builds everything and runs every test: the release build (unit, integration, gui),
# the Qt-free tests again under AddressSanitizer + UndefinedBehaviorSanitizer, and each
# fuzz target for a short run. Prints ctest's summary for each stage.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
stage() { echo; echo "=== $* ==="; }

stage "release build"
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"
stage "release tests"
ctest --preset release

stage "sanitizer build"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
stage "sanitizer tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --preset asan

stage "fuzz build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
stage "fuzz runs"
ctest --preset fuzz
