#!/usr/bin/env bash
# Records the sound server's null sink while a SoftSound player, fed by a 10 ms timer, has its
# refill held back 100 ms and then 300 ms (soft_sound_device_test.cpp), then follows the frame
# counter on the right channel from the first sound on. Each frame must continue the count or be
# silent (a gap); a jump forward is sound lost, a jump back sound played again (a refill that
# came late and played the sound of a second before shows so). Sound played again fails the
# test, and so does a gap longer than the hold it follows (20 ms allowed beyond it for the sound
# server's own gaps).
# Sound lost is the queue's when the device plays slower than the producer's timer (the bounded
# queue drops its oldest frames; the program prints how many), or the sound server's: on this
# platform it now and then plays a short silence (under 60 ms) in place of up to a period (441
# frames) more than the silence. Beyond those, more than 128 frames lost fail the test: a
# late refill that threw away what it should have played after the gap shows so.
# The counter runs 65536 frames (1.5 s): a jump of more is reported by its remainder.
# Usage: late_refill_recording.sh <wine-run> <device test program>
set -euo pipefail
wine_run=$1
program=$2
capture=$PWD/late_refill.raw
source "$(dirname "$0")/sink_recording.sh"
start_sink_recording "$capture"
TARVEX_LATE_REFILL=1 "$wine_run" "$program" --gtest_filter=SoftSoundPlayerDevice.ALateRefill* | tee program.out
stop_sink_recording
dropped=$(queue_dropped_frames program.out)

od -An -v -t d2 -w4 "$capture" | awk -v queueDropped="$dropped" '
  function abs(v) { return v < 0 ? -v : v }
  function at(frame) { return sprintf("%.3f s", frame / 44100) }
  BEGIN { started = 0; n = 0; gaps = 0; gap = 0; lost = 0; repeated = 0; bad = 0 }
  {
    l = $1; r = $2
    if (!started) { if (abs(l) < 2000) next; started = 1; previous = r; next }
    n++
    step = (r - previous + 65536) % 65536
    if (step != 1 && abs(l) <= 2 && abs(r) <= 2) { gap++; next }
    lastGap = gap
    if (gap > 0) {
      gaps++
      # The holds are 1.1 s apart: a gap in the first 1.6 s follows the first one.
      limit = n - gap < 1.6 * 44100 ? 120 : 320
      printf "gap of %.1f ms at %s\n", gap / 44.1, at(n - gap)
      if (gap > limit * 44.1) { printf "  longer than %d ms\n", limit; bad++ }
      gap = 0
    }
    if (step == 0 || step >= 32768) {
      repeated += (65536 - step) % 65536 + 1
      printf "%d frames played again at %s\n", (65536 - step) % 65536 + 1, at(n); bad++
    } else if (step > 1) {
      printf "%d frames lost at %s\n", step - 1, at(n)
      if (lastGap > 0 && lastGap < 60 * 44.1 && step - 1 <= lastGap + 441) serverLost += step - 1
      else lost += step - 1
    }
    previous = r
  }
  END {
    printf "followed %d frames: %d gaps, %d frames lost (the queue dropped %d; %d more lost with the server silences), %d played again\n", n, gaps, lost, queueDropped, serverLost, repeated
    if (n < 2.8 * 44100) { print "late_refill_recording: the recording is shorter than 2.8 s of sound" > "/dev/stderr"; exit 1 }
    if (lost > queueDropped + 128) bad++
    if (bad > 0) { print "late_refill_recording: a gap too long, or sound lost or played again" > "/dev/stderr"; exit 1 }
  }'
