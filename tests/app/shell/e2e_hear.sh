#!/usr/bin/env bash
# The end-to-end road's hearing step: records the sound server's null sink while the program's
# part (E2eRoadTest.OpenAndHear) opens the song and lets it play, then looks for the song's 1 kHz
# ADPCM tone in 3 s of the recording after the opening: sox's dominant frequency within 2 % of
# 1 kHz and an RMS level above -40 dBFS. The instrument's constant levels under the opening are
# cut by a high-pass filter.
# Usage: e2e_hear.sh <wine-run> <test program> <arguments...>
set -euo pipefail
wine_run=$1
shift
capture=$PWD/e2e_hear.raw
source "$(dirname "$0")/../../zovuz/sound/sink_recording.sh"
start_sink_recording "$capture"
"$wine_run" "$@"
stop_sink_recording

raw=(-t raw -e signed-integer -b 16 -r 44100 -c 2)
# From the first sound on, skip the opening (1.5 s), keep 3 s, one channel.
tone=$PWD/e2e_hear_tone.wav
sox "${raw[@]}" "$capture" "$tone" remix 1 silence 1 0.01 1% trim 1.5 3 highpass 200
length=$(soxi -D "$tone")
frequency=$(sox "$tone" -n stat -freq 2>&1 | awk 'NF == 2 && $1 ~ /^[0-9.]+$/ && $1 > 100 { if ($2 > best) { best = $2; f = $1 } } END { print f }')
rms=$(sox "$tone" -n stats 2>&1 | awk '/^RMS lev dB/ { print $4 }')
echo "e2e_hear: ${length}s of tone, dominant frequency ${frequency} Hz, RMS ${rms} dBFS"
awk -v l="$length" -v f="$frequency" -v r="$rms" 'BEGIN {
  if (l < 2.9) { print "e2e_hear: less than 3 s of sound were recorded" > "/dev/stderr"; exit 1 }
  if (f < 980 || f > 1020) { print "e2e_hear: the dominant frequency is not 1 kHz" > "/dev/stderr"; exit 1 }
  if (r == "" || r <= -40) { print "e2e_hear: the tone is too quiet" > "/dev/stderr"; exit 1 }
}'
