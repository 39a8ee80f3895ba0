#!/usr/bin/env bash
# Builds everything and runs every test: the release build (unit, integration, gui),
# the Qt-free tests again under AddressSanitizer + UndefinedBehaviorSanitizer, the tests of
# thread hand-overs under ThreadSanitizer, and each fuzz target for a short run. Prints
# ctest's summary for each stage.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
# Every GoogleTest program runs its cases in a random order (the seed is in the log), so a case
# that leans on what an earlier one left behind fails here rather than by chance later.
export GTEST_SHUFFLE=1
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

stage "thread sanitizer build"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
stage "thread sanitizer tests"
ctest --preset tsan

stage "fuzz build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
stage "fuzz runs"
ctest --preset fuzz
