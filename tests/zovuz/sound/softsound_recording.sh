#!/usr/bin/env bash
# Records the sound server's null sink while a SoftSound player, fed by a 10 ms timer, plays
# for 8 seconds (soft_sound_device_test.cpp), then checks 6 seconds of the recording sample
# by sample, from 1.5 seconds after the tone begins, with recording_judge.py (the sound server
# drops sound more often in the first second of a stream). The left channel
# is a 1 kHz tone at half scale, the right a ramp of 16 steps a frame that falls back every
# 4093 frames, so that together they tell which frame of the producer's each recorded frame is.
#
# The sound server's exact silences pass as the judge says. While the device so plays slower
# than the producer's timer, the player's queue fills up and drops its oldest frames, as it is
# made to: frames missing without a silence may add up to what the queue dropped (the program
# prints that count) and 128 more (Wine's mixer slips a few frames now and then). A frame
# repeated, other sound, a silence longer than 0.1 s or more than 200 of them (a fault at every
# refill makes six hundred in 6 s) fail the test.
# The player's own gaps after a late refill are judged exactly by late_refill_recording.sh; the
# queue's pace by the test program.
set -euo pipefail
wine_run=$1
program=$2
capture=$PWD/softsound.raw
source "$(dirname "$0")/sink_recording.sh"
start_sink_recording "$capture"
TARVEX_TONE_SECONDS=8 "$wine_run" "$program" --gtest_filter=SoftSoundPlayerDevice.* | tee program.out
stop_sink_recording
dropped=$(queue_dropped_frames program.out)

/usr/bin/python3 "$(dirname "$0")/recording/recording_judge.py" "$capture" --name softsound_recording \
  --ramp-period 4093 --tone-hz 1000 --skip 1.5 --judge 6 --may-lose $((dropped + 128))
