#!/usr/bin/env bash
# Builds Orka and starts it. When no handset is configured (ORKA_PORT unset), the handset
# simulator q5sim stands in: it serves a simulated Q5 as COM3 and as the infrared device
# "Q5", with its stores kept in Orka's data folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
bin=build/release/bin

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; wait 2>/dev/null || true; }
trap cleanup EXIT INT TERM

if [ -z "${ORKA_PORT:-}" ]; then
  data="${ORKA_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/orka}"
  mkdir -p "$data"
  "$bin/q5sim" --store "$data/q5sim" --com 3 --irda Q5 --log "$data/q5sim.log" &
  sim_pid=$!
  export ORKA_PORT=3
  sleep 0.5
fi

if [ -x "$bin/orka" ]; then
  "$bin/orka"
  exit $?
fi

# The phone link at work against the handset: what the main program does for each job.
echo
echo "== orkactl against the handset on port $ORKA_PORT"
echo "\$ orkactl features 2";  "$bin/orkactl" features 2
echo "\$ orkactl ls 7 --free | head -3"; "$bin/orkactl" ls 7 --free | head -3
tmp=$(mktemp); head -c 9216 /dev/urandom > "$tmp"
echo "\$ orkactl put 7 <9216-byte ring tone>"; index=$("$bin/orkactl" put 7 "$tmp"); echo "$index"
echo "\$ orkactl name 7 $index 鈴聲一"; "$bin/orkactl" name 7 "$index" "鈴聲一"
echo "\$ orkactl name 7 $index"; "$bin/orkactl" name 7 "$index"
echo "\$ orkactl get 7 $index -o copy"; "$bin/orkactl" get 7 "$index" -o "$tmp.copy" && cmp "$tmp" "$tmp.copy" && echo "identical"
rm -f "$tmp" "$tmp.copy"
echo "\$ orkactl upload 70002 0   (the first sample tune of the local gallery)"; "$bin/orkactl" upload 70002 0
if [ -n "$sim_pid" ]; then
  echo
  echo "The simulated handset keeps running (COM3 and infrared device Q5); try:"
  echo "  ${ORKA_HOME:+ORKA_HOME=$ORKA_HOME }ORKA_PORT=3 $bin/orkactl ls 7"
  echo "Press Ctrl-C to stop it."
  wait "$sim_pid"
fi
