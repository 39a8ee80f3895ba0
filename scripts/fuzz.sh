#!/usr/bin/env bash
# A longer fuzz campaign anyone can run:
#   scripts/fuzz.sh [SECONDS]    (default 120 seconds a target)
# Builds the fuzz preset, runs every fuzz target for SECONDS, two at a time, starting from its
# committed corpus, then merges what each run found back into that corpus with -merge=1 (only
# inputs that add coverage go in), so the corpora in the repository grow and short CI runs
# start deep. Prints, per target, the inputs run, the coverage reached and the corpus size.
# Crashes are kept in build/fuzz/campaign/TARGET/ and make the script exit 1.
set -euo pipefail
seconds=${1:-120}
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2; }
cd "$(dirname "$0")/.."

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzzers

bin=build/fuzz/bin
campaign=build/fuzz/campaign
rm -rf "$campaign"
mkdir -p "$campaign"

# Each fuzz test runs "TARGET ... WORKDIR [CORPUS]": take the target and its corpus from ctest.
ctest --preset fuzz --show-only=json-v1 | python3 -c '
import json, sys
for test in json.load(sys.stdin)["tests"]:
    command = test.get("command") or []
    if command and "-max_total_time" in " ".join(command):
        corpus = command[-1] if not command[-1].startswith("-") and "/fuzz-work/" not in command[-1] else ""
        print(test["name"], corpus)
' > "$campaign/targets"

run_target() {
    local target=$1 corpus=$2 dir="$campaign/$1"
    mkdir -p "$dir/found" "$dir/home"
    local status=0
    ORKA_HOME="$dir/home" "$bin/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$dir/" "$dir/found" ${corpus:+"$corpus"} >"$dir/run.log" 2>&1 || status=$?
    echo "$status" >"$dir/status"
    if [[ -n "$corpus" ]]; then
        ORKA_HOME="$dir/home" "$bin/$target" -merge=1 "$corpus" "$dir/found" >"$dir/merge.log" 2>&1 || true
    fi
}

while read -r target corpus; do
    run_target "$target" "$corpus" &
    while (( $(jobs -rp | wc -l) >= 2 )); do
        wait -n || true
    done
done <"$campaign/targets"
wait

failed=0
printf '%-22s %12s %8s %8s %8s %s\n' target inputs cov ft corpus status
while read -r target corpus; do
    dir="$campaign/$target"
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$dir/run.log" | grep -o '[0-9]*$' || echo "?")
    last=$(grep -E '#[0-9]+.*cov: ' "$dir/run.log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' <<<"$last" | grep -o '[0-9]*' || echo "?")
    ft=$(grep -o 'ft: [0-9]*' <<<"$last" | grep -o '[0-9]*' || echo "?")
    files=$([[ -n "$corpus" ]] && find "$corpus" -type f | wc -l || echo "-")
    status=$(cat "$dir/status")
    (( status == 0 )) || failed=1
    printf '%-22s %12s %8s %8s %8s %s\n' "$target" "$runs" "$cov" "$ft" "$files" \
        "$( ((status == 0)) && echo ok || echo "FAILED (see $dir)")"
done <"$campaign/targets"
exit "$failed"
