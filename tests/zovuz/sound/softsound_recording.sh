#!/usr/bin/env bash
# Records the sound server's null sink while a SoftSound player, fed by a 10 ms timer, plays
# for 13 seconds (soft_sound_device_test.cpp), then checks 10 seconds of the recording sample
# by sample, from 2 seconds after the tone begins:
# - left: a 1 kHz tone at half scale. A sample is unexpected when it does not continue the sine
#   of the two before it, or when the amplitude those samples give is off by more than 10 %.
# - right: a ramp of 16 steps a frame that falls back every 4093 frames. A sample is unexpected
#   when it is not the one before plus 16 (or the fall back to the bottom).
# The longest run of unexpected samples, their count and the breaks they make are printed for
# each channel. A fault of the player breaks the recording at refill after refill (a thousand
# breaks in 10 s), so more than 30 breaks fail the test, and so does any break longer than 0.1 s.
# Fewer, shorter ones pass: on this platform Wine's mixer drops or inserts a stretch of 5 to 90 ms
# now and then that the player did deliver, in about half of the runs even on an idle machine
# (retry_recording.sh tries again only when a run fails). The player's own gaps and losses are
# judged exactly by late_refill_recording.sh; its queue's pace by the test program.
# Usage: softsound_recording.sh <wine-run> <device test program>
set -euo pipefail
wine_run=$1
program=$2
capture=$PWD/softsound.raw
source "$(dirname "$0")/sink_recording.sh"
start_sink_recording "$capture"
TARVEX_TONE_SECONDS=13 "$wine_run" "$program" --gtest_filter=SoftSoundPlayerDevice.*
stop_sink_recording

# From the first sample of the tone on, skip 2 s and judge the next 10 s. Samples are read as
# 16-bit integers.
od -An -v -t d2 -w4 "$capture" | awk '
  function abs(v) { return v < 0 ? -v : v }
  BEGIN {
    w = 2 * 3.14159265358979 * 1000 / 44100; c = cos(w); s = sin(w)
    skip = 88200; judge = 441000; started = 0; n = 0
  }
  {
    l = $1; r = $2
    if (!started) { if (abs(l) > 2000) started = 1; else next }
    n++
    if (n <= skip) { l2 = l1; l1 = l; r1 = r; next }
    if (n > skip + judge) next
    # left: the sine continued from the two samples before, and its amplitude
    predicted = 2 * c * l1 - l2
    a = sqrt((l * l - 2 * c * l * l1 + l1 * l1)) / s
    badl = abs(l - predicted) > 40 || abs(a - 16383.5) > 1640
    # right: the ramp
    d = r - r1
    badr = !(abs(d - 16) <= 2 || (r <= -32768 + 2 && r1 >= 32704 - 2))
    if (badl) { if (!runl) breaksl++; runl++; countl++; if (runl > longl) longl = runl } else runl = 0
    if (badr) { if (!runr) breaksr++; runr++; countr++; if (runr > longr) longr = runr } else runr = 0
    l2 = l1; l1 = l; r1 = r
  }
  END {
    judged = n - skip; if (judged > judge) judged = judge
    printf "judged %d frames; left (1 kHz tone): longest run of unexpected samples %d, %d in all, %d breaks; right (ramp): longest run %d, %d in all, %d breaks\n", judged, longl, countl, breaksl, longr, countr, breaksr
    if (judged < judge) { print "softsound_recording: the recording is shorter than 10 s of tone" > "/dev/stderr"; exit 1 }
    if (breaksl > 30 || breaksr > 30 || longl > 4410 || longr > 4410) { print "softsound_recording: the recording has gaps or repeats" > "/dev/stderr"; exit 1 }
  }'
