#!/usr/bin/env bash
# Records the sound server's null sink while a stream sound with a loop point plays for 4
# seconds (stream_sound_device_test.cpp): a numbered signal (a 1001 Hz tone and a ramp of 3675
# frames) that plays to 1.5 s and then loops back 1 s, a whole period of the signal, so the loop
# jump continues the signal. From 0.1 s after the sound begins, 3.5 s are judged by
# recording_judge.py (three loop jumps): the sound server's exact silences pass (see there), but
# any break at a loop jump fails, and so does a frame of the stream repeated, more
# than 32 frames lost without a silence (a stream has no queue that may drop frames; Wine's
# mixer slips 5-15 frames now and then), or a broken signal.
# Usage: stream_recording.sh <wine-run> <device test program>
set -euo pipefail
wine_run=$1
program=$2
capture=$PWD/stream.raw
source "$(dirname "$0")/sink_recording.sh"
start_sink_recording "$capture"
TARVEX_TONE_SECONDS=4 "$wine_run" "$program" --gtest_filter=StreamSoundDevice.ALoopPointPlaysOnWithoutAGap
stop_sink_recording
/usr/bin/python3 "$(dirname "$0")/recording/recording_judge.py" "$capture" --name stream_recording \
  --ramp-period 3675 --tone-hz 1001 --skip 0.1 --judge 3.5 --loop 22160 66260 --may-lose 32
