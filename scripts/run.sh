#!/usr/bin/env bash
# Builds Orka and starts it. When no handset is configured (ORKA_PORT unset), the handset
# simulator q5sim stands in: it serves a simulated Q5 as COM3 and as the infrared device
# "Q5" (the port Orka uses until another is chosen in 連線設定), with its stores kept in
# Orka's data folder. A new simulated handset first receives a few items in each store: the
# local gallery's samples and some phonebook and calendar entries.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
bin=$PWD/build/release/bin

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; wait 2>/dev/null || true; }
trap cleanup EXIT INT TERM

# Starts q5sim in the background with the given arguments and waits for its start line, which
# it prints once every link is ready; sets sim_pid.
start_sim() {
  local started; started=$(mktemp)
  "$bin/q5sim" "$@" >"$started" &
  sim_pid=$!
  for _ in $(seq 100); do
    if grep -q "serving" "$started"; then rm -f "$started"; return 0; fi
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$started"
  echo "run: the handset simulator did not start" >&2
  exit 1
}

stop_sim() { kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; sim_pid=""; }

# Fills a new simulated handset through the phone link, as the program's own jobs do, from a
# scratch home of its own: the user's settings, gallery and contacts stay untouched.
seed_handset() {
  local store=$1 seed; seed=$(mktemp -d)
  mkdir -p "$seed/pim/contacts" "$seed/pim/tasks"
  local n=1
  for person in "王小明;0912345678;xiaoming@example.com" "陳美玲;0922123456;meiling@example.com" "林志豪;0933765432;"; do
    IFS=';' read -r name phone mail <<<"$person"
    printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nUID:run-contact-%d\r\nFN:%s\r\nN:;%s;;;\r\nTEL;TYPE=CELL:%s\r\n%sEND:VCARD\r\n' \
      "$n" "$name" "$name" "$phone" "${mail:+EMAIL:$mail$'\r\n'}" >"$seed/pim/contacts/run-contact-$n.vcf"
    n=$((n + 1))
  done
  n=1
  for task in "牙醫門診;20270115T013000Z" "繳交報告;20270120T060000Z"; do
    IFS=';' read -r subject when <<<"$task"
    printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Orka//run.sh//ZH\r\nBEGIN:VTODO\r\nUID:run-task-%d\r\nDTSTAMP:20261201T000000Z\r\nSUMMARY:%s\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:%s\r\nTRIGGER;VALUE=DATE-TIME:%s\r\nEND:VALARM\r\nEND:VTODO\r\nEND:VCALENDAR\r\n' \
      "$n" "$subject" "$subject" "$when" >"$seed/pim/tasks/run-task-$n.ics"
    n=$((n + 1))
  done
  ORKA_HOME=$seed start_sim --store "$store" --com 3 --log "$seed/q5sim.log"
  local ctl=(env ORKA_HOME="$seed" "$bin/orkactl" --port 3)
  # The samples folder (category id + 2) of each category: wallpapers, main-menu pictures,
  # caller photos, animations, ring tones; every item it has.
  for folder in 20002 30002 40002 50002 70002; do
    local count
    count=$("${ctl[@]}" gallery --json | tr -d ' \n' | grep -o "\"id\":$folder,[^]]*" | grep -o '{"name"' | wc -l || true)
    [ "$count" -gt 0 ] || continue
    "${ctl[@]}" upload "$folder" $(seq 0 $((count - 1))) >/dev/null || echo "run: samples of folder $folder were not uploaded" >&2
  done
  "${ctl[@]}" pim upload contacts >/dev/null || echo "run: the phonebook entries were not uploaded" >&2
  "${ctl[@]}" pim upload calendar >/dev/null || echo "run: the calendar entries were not uploaded" >&2
  stop_sim
  rm -rf "$seed"
}

if [ -z "${ORKA_PORT:-}" ]; then
  data="${ORKA_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/orka}"
  mkdir -p "$data"
  if [ ! -d "$data/q5sim" ]; then
    echo "run: preparing a simulated Q5 handset in $data/q5sim"
    seed_handset "$data/q5sim"
  fi
  start_sim --store "$data/q5sim" --com 3 --irda Q5 --log "$data/q5sim.log"
  export ORKA_PORT=3
fi

if [ -x "$bin/orka" ]; then
  "$bin/orka"
  exit $?
fi

# Without the windowed program (a build without Qt): the phone link at work against the
# handset, as the program does for each job.
echo
echo "== orka was not built; orkactl against the handset on port $ORKA_PORT instead"
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
