#!/usr/bin/env bash
# Records the sound server's null sink while a stream sound with a loop point plays for 5
# seconds (stream_sound_device_test.cpp): a ramp on each channel that climbs 8 a frame and falls
# back every 4410 frames, looping from 1 s to 2 s, so that the loop jump continues the ramp.
# From 0.1 s after the sound begins, 4.5 s are checked sample by sample (three loop jumps); a
# sample is unexpected when it is not the one before plus 8, or the fall back to the bottom.
# A gap, a repeat or silence at a loop jump breaks the ramp where the left one falls back (the
# jump is at a fall back): a break that starts within 2 ms of one fails the test, and so do more
# than two breaks or one longer than 30 ms. Up to two short breaks elsewhere pass: Wine's mixer
# and the sound server work in real time, and a machine that stalls them for a few milliseconds
# drops a stretch the stream did deliver (retry_recording.sh tries again only when a run fails).
# Usage: stream_recording.sh <wine-run> <device test program>
set -euo pipefail
wine_run=$1
program=$2
capture=$PWD/stream.raw
source "$(dirname "$0")/sink_recording.sh"
start_sink_recording "$capture"
TARVEX_TONE_SECONDS=5 "$wine_run" "$program" --gtest_filter=StreamSoundDevice.ALoopPointPlaysOnWithoutAGap
stop_sink_recording

od -An -v -t d2 -w4 "$capture" | awk '
  function abs(v) { return v < 0 ? -v : v }
  function bad(v, p) { return !(abs(v - p - 8) <= 2 || (v <= -32768 + 2 && p >= 2504 - 2)) }
  # The left sample before a break within 88 frames of the left ramp falling back.
  function atjump(p) { return p >= 2504 - 8 * 88 || p <= -32768 + 8 * 88 }
  BEGIN { skip = 4410; judge = 198450; started = 0; n = 0 }
  {
    l = $1; r = $2
    if (!started) { if (l <= -30000) started = 1; else next }
    n++
    if (n > skip && n <= skip + judge) {
      if (bad(l, l1)) { runl++; countl++; if (runl > longl) longl = runl } else runl = 0
      if (bad(r, r1)) { runr++; countr++; if (runr > longr) longr = runr } else runr = 0
      if (runl || runr) {
        if (!run) { breaks++; if (atjump(l1)) jumps++ }
        run++; if (run > longest) longest = run
      } else run = 0
    }
    l1 = l; r1 = r
  }
  END {
    judged = n - skip; if (judged > judge) judged = judge
    printf "judged %d frames; longest run of unexpected samples: left %d, right %d; in all: left %d, right %d; %d breaks, %d at a fall back\n", judged, longl, longr, countl, countr, breaks, jumps
    if (judged < judge) { print "stream_recording: the recording is shorter than 4.6 s of sound" > "/dev/stderr"; exit 1 }
    if (jumps > 0 || breaks > 2 || longest > 1323) { print "stream_recording: the recording has gaps or repeats" > "/dev/stderr"; exit 1 }
  }'
