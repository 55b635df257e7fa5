#!/usr/bin/env bash
# Records the sound server's null sink while a SoftSound player, fed by a 10 ms timer, has its
# refill held back 100 ms and then 300 ms (soft_sound_device_test.cpp), then follows the frame
# counter on the right channel from the first sound on. Each frame must continue the count or be
# silent (a gap); a jump forward is sound lost, a jump back sound played again (a refill that
# came late and played the sound of a second before shows so). Both fail the test, and so does a
# gap longer than the hold it follows (20 ms allowed beyond it for the sound server's own gaps).
# The counter runs 65536 frames (1.5 s): a jump of more is reported by its remainder.
# Usage: late_refill_recording.sh <wine-run> <device test program>
set -euo pipefail
wine_run=$1
program=$2
capture=$PWD/late_refill.raw
source "$(dirname "$0")/sink_recording.sh"
start_sink_recording "$capture"
TARVEX_LATE_REFILL=1 "$wine_run" "$program" --gtest_filter=SoftSoundPlayerDevice.ALateRefill*
stop_sink_recording

od -An -v -t d2 -w4 "$capture" | awk '
  function abs(v) { return v < 0 ? -v : v }
  function at(frame) { return sprintf("%.3f s", frame / 44100) }
  BEGIN { started = 0; n = 0; gaps = 0; gap = 0; lost = 0; repeated = 0; bad = 0 }
  {
    l = $1; r = $2
    if (!started) { if (abs(l) < 2000) next; started = 1; previous = r; next }
    n++
    step = (r - previous + 65536) % 65536
    if (step != 1 && abs(l) <= 2 && abs(r) <= 2) { gap++; next }
    if (gap > 0) {
      gaps++
      # The holds are 1.5 s apart: a gap in the first 2.3 s follows the first one.
      limit = n - gap < 2.3 * 44100 ? 120 : 320
      printf "gap of %.1f ms at %s\n", gap / 44.1, at(n - gap)
      if (gap > limit * 44.1) { printf "  longer than %d ms\n", limit; bad++ }
      gap = 0
    }
    if (step == 0 || step >= 32768) {
      repeated += (65536 - step) % 65536 + 1
      printf "%d frames played again at %s\n", (65536 - step) % 65536 + 1, at(n); bad++
    } else if (step > 1) {
      lost += step - 1
      printf "%d frames lost at %s\n", step - 1, at(n); bad++
    }
    previous = r
  }
  END {
    printf "followed %d frames: %d gaps, %d frames lost, %d played again\n", n, gaps, lost, repeated
    if (n < 4 * 44100) { print "late_refill_recording: the recording is shorter than 4 s of sound" > "/dev/stderr"; exit 1 }
    if (bad > 0) { print "late_refill_recording: a gap too long, or sound lost or played again" > "/dev/stderr"; exit 1 }
  }'
