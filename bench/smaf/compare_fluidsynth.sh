#!/usr/bin/env bash
# Renders the same 60-second dense piece offline with our FM synthesizer (mmfplay --wav) and
# as MIDI with FluidSynth on the Debian GM SoundFont, and prints both times and their ratio.
# Usage: bench/smaf/compare_fluidsynth.sh [BIN_DIR]   (default build/release/bin)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build/release/bin}
soundfont=${ORKA_SOUNDFONT:-/usr/share/sounds/sf2/TimGM6mb.sf2}
for tool in "$bin/smaf_bench_gen" "$bin/mmfplay"; do
  [[ -x $tool ]] || { echo "missing $tool: build the release preset first" >&2; exit 2; }
done
command -v fluidsynth >/dev/null || { echo "fluidsynth is not installed (apt-get install fluidsynth timgm6mb-soundfont)" >&2; exit 2; }
[[ -f $soundfont ]] || { echo "no SoundFont at $soundfont" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORKA_HOME=$work/home
"$bin/smaf_bench_gen" "$work/dense.mmf" "$work/dense.mid"

seconds() { date +%s.%N; }
t0=$(seconds)
"$bin/mmfplay" "$work/dense.mmf" --wav "$work/smaf.wav"
t1=$(seconds)
fluidsynth -ni -F "$work/fluid.wav" -r 22050 "$soundfont" "$work/dense.mid" >/dev/null 2>&1
t2=$(seconds)

awk -v a="$t0" -v b="$t1" -v c="$t2" 'BEGIN {
  smaf = b - a; fluid = c - b;
  printf "SMAF FM synthesizer: %.3f s for 60 s of audio (%.0fx real time)\n", smaf, 60 / smaf;
  printf "FluidSynth:          %.3f s for 60 s of audio (%.0fx real time)\n", fluid, 60 / fluid;
  printf "FluidSynth time / SMAF time: %.2f (above 1: the FM synthesizer is faster)\n", fluid / smaf;
}'
