#!/usr/bin/env bash
# The first proof that the library makes sound: records the sound server's null sink while the
# device test plays its one-second loop of a 1 kHz sine at half of full scale, then checks with
# sox that each channel of the recording holds that tone at that level.
#
# A program under Wine cannot easily start Linux programs, so the recording runs here, on the
# CTest side. Usage: tone_recording.sh <wine-run> <device test program>
set -euo pipefail
wine_run=$1
program=$2
capture=$PWD/tone.raw
source "$(dirname "$0")/sink_recording.sh"
start_sink_recording "$capture"

raw="-t raw -e signed -b 16 -r 44100 -c 2"
"$wine_run" "$program" --gtest_filter=DirectSoundBufferTest.PlaysAOneKilohertzTone
stop_sink_recording

# Keep 0.8 s from just after the tone begins; a sine of peak 0.5 has an RMS of 0.354 (-9 dBFS).
status=0
for channel in 1 2; do
  stats=$(sox $raw "$capture" -n remix "$channel" silence 1 0.005 2% trim 0.1 0.8 stat 2>&1)
  rms=$(awk '/^RMS +amplitude/ { print $3 }' <<<"$stats")
  frequency=$(awk '/^Rough +frequency/ { print $3 }' <<<"$stats")
  echo "channel $channel: RMS amplitude $rms, rough frequency $frequency Hz"
  if ! awk -v r="${rms:-0}" -v f="${frequency:-0}" 'BEGIN { exit !(r > 0.315 && r < 0.397 && f > 950 && f < 1050) }'; then
    echo "tone_recording: channel $channel does not hold the 1 kHz tone at -9 dBFS" >&2
    echo "$stats" >&2
    status=1
  fi
done
exit $status
