#!/usr/bin/env bash
# Records the sound server's null sink while a SoftSound player, fed by a 10 ms timer, plays
# for 13 seconds (soft_sound_device_test.cpp), then checks 10 seconds of the recording sample
# by sample, from 2 seconds after the tone begins. The left channel is a 1 kHz tone at half
# scale, the right a ramp of 16 steps a frame that falls back every 4093 frames, so that the
# ramp tells which frame of the producer's each recorded frame is.
#
# On this platform the sound server now and then runs dry while Wine's mixer is late: a stretch
# of exact silence (both channels 0) lies in the recording, and after it up to a period (441
# frames) more than the silence may be missing. While the device so plays slower than the
# producer's timer, the player's queue fills up and drops its oldest frames, as it is made to.
# What the player itself does wrong shows otherwise, and fails the test:
# - a frame repeated or the ramp going back, or a tone sample that does not continue the sine
#   of the two frames before it (or whose amplitude is off by more than 10 %);
# - frames missing without a silence before them, more than 128 beyond what the queue dropped
#   (the program prints that count; Wine's mixer slips a few frames now and then);
# - a silence longer than 0.1 s, or more than 200 of them (a fault at every refill makes a
#   thousand in 10 s).
# The player's own gaps after a late refill are judged exactly by late_refill_recording.sh; the
# queue's pace by the test program.
set -euo pipefail
wine_run=$1
program=$2
capture=$PWD/softsound.raw
source "$(dirname "$0")/sink_recording.sh"
start_sink_recording "$capture"
TARVEX_TONE_SECONDS=13 "$wine_run" "$program" --gtest_filter=SoftSoundPlayerDevice.* | tee program.out
stop_sink_recording
dropped=$(queue_dropped_frames program.out)

# From the first sample of the tone on, skip 2 s and judge the next 10 s. Samples are read as
# 16-bit integers.
od -An -v -t d2 -w4 "$capture" | awk -v queueDropped="$dropped" '
  function abs(v) { return v < 0 ? -v : v }
  function fault(what) { faults++; if (faults <= 5) why = why "; " what " at frame " n }
  # The frames missing before the current one: the ramp tells it up to whole ramp periods
  # (4093 frames; the queue may drop more at once), the tone tells which, when the two frames
  # before continue each other. -1 when no jump forward continues the tone: frames played again.
  function Missing(fromRamp,    k, d, aCos, predicted) {
    if (fromRamp < 0) fromRamp += 4093
    if (steady < 2) return fromRamp
    aCos = (l1 * c - l2) / s
    for (k = 0; k <= 4; k++) {
      d = fromRamp + 1 + k * 4093
      predicted = l1 * cos(w * d) + aCos * sin(w * d)
      if (abs(l - predicted) <= 60) return fromRamp + k * 4093
    }
    return -1
  }
  BEGIN {
    w = 2 * 3.14159265358979 * 1000 / 44100; c = cos(w); s = sin(w)
    skip = 88200; judge = 441000; started = 0; n = 0
    have = 0; gap = 0; steady = 0
  }
  {
    l = $1; r = $2
    if (!started) { if (abs(l) > 2000) started = 1; else next }
    n++
    if (n > skip + judge) next
    counted = n > skip
    if (l == 0 && r == 0) { if (!gap) { gap = 1; gapLength = 0 } gapLength++; next }
    frame = int((r + 32768 + 8) / 16)
    if (abs(r - (frame * 16 - 32768)) > 2) { if (counted) fault("ramp value " r) }
    if (have) {
      missing = Missing((frame - lastFrame - 1) % 4093)
      if (missing < 0) {
        if (counted) fault("frames played again or out of order")
        steady = 0
      } else if (gap) {
        if (counted) {
          silences++; silent += gapLength; if (gapLength > longestGap) longestGap = gapLength
          # Beyond what the server may drop with its silence, the queue must have dropped it.
          if (missing > gapLength + 441) { drops++; lost += missing - gapLength - 441 }
        }
        steady = 0
      } else if (missing > 0) {
        if (counted) { drops++; lost += missing }
        steady = 0
      } else if (steady >= 2 && counted) {
        predicted = 2 * c * l1 - l2
        a = sqrt(abs(l * l - 2 * c * l * l1 + l1 * l1)) / s
        if (abs(l - predicted) > 40 || abs(a - 16383.5) > 1640) fault("tone broken")
      }
    }
    gap = 0; have = 1; steady++
    lastFrame = frame; l2 = l1; l1 = l
  }
  END {
    judged = n - skip; if (judged > judge) judged = judge
    printf "judged %d frames: %d silences (%d frames, the longest %d), %d stretches missing (%d frames; the queue dropped %d), %d faults%s\n", judged, silences, silent, longestGap, drops, lost, queueDropped, faults, why
    if (judged < judge) { print "softsound_recording: the recording is shorter than 10 s of tone" > "/dev/stderr"; exit 1 }
    if (faults > 0) { print "softsound_recording: frames repeated or damaged" > "/dev/stderr"; exit 1 }
    if (lost > queueDropped + 128) { print "softsound_recording: frames lost that the queue did not drop" > "/dev/stderr"; exit 1 }
    if (longestGap > 4410 || silences > 200) { print "softsound_recording: the recording has gaps" > "/dev/stderr"; exit 1 }
  }'
