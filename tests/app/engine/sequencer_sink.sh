#!/usr/bin/env bash
# Records the sound server's null sink while the sequencer plays a song for 10 s through its
# SoftSound player and the real 10 ms timer (sequencer_sink_test.cpp), with a WAV render of the
# same 10 s armed, then compares the recording with the render.
#
# Track 0 sounds on the left only and track 1 on the right only, as constant levels while a note
# is held, so every note is one stretch of sound on its side. The recording is lined up with the
# render at the first sound in either; then, on each side, the notes must match one for one:
# each note's length, and the time from the start of the note before it, less than 50 ms (2205
# frames) shorter and less than 100 ms longer than the render's, each note's level within 2 %.
# On this platform Wine's mixer now and then inserts 5 to 50 ms of silence that the player did
# deliver, and each one moves every later note by its length (by hundreds of milliseconds over
# the 10 s in some runs), so notes are compared with the note before them, not with the start,
# and a tick's accuracy cannot be asked of a recording; the renders are checked to the tick by
# the render tests. The notes that start in the render's last 50 ms are left out, as the
# recording may not reach them yet.
# A stretch of silence written into the device, a lost or repeated piece of sound or a wrong
# level shows as a note too many, a shifted note or a level off.
# Usage: sequencer_sink.sh <wine-run> <test program>
set -euo pipefail
wine_run=$1
program=$2
capture=$PWD/sequencer_sink.raw
render=$PWD/sink_render.wav
source "$(dirname "$0")/../../zovuz/sound/sink_recording.sh"
rm -f "$render"
start_sink_recording "$capture"
TARVEX_SINK_SECONDS=10 "$wine_run" "$program"
stop_sink_recording
if [ ! -s "$render" ]; then
  echo "sequencer_sink: the program wrote no render" >&2
  exit 1
fi

# Half of the render's peak on each side tells sound from silence in both files.
frames() { od -An -v -t d2 -w4 "$@"; }
read -r half_left half_right < <(frames -j 44 "$render" | awk '
  function abs(v) { return v < 0 ? -v : v }
  { if (abs($1) > l) l = abs($1); if (abs($2) > r) r = abs($2) }
  END { print l / 2, r / 2 }')
if [ "$half_left" = 0 ] || [ "$half_right" = 0 ]; then
  echo "sequencer_sink: the render is silent on one side" >&2
  exit 1
fi

# Frames as "left right" lines: the render after its 44-byte header, a separator, the recording.
{ frames -j 44 "$render"; echo "--"; frames "$capture"; } | awk -v half_left="$half_left" -v half_right="$half_right" '
  function abs(v) { return v < 0 ? -v : v }
  # One side c of source s (0 render, 1 recording) at frame n, counted from the first sound of
  # that source: opens, continues or closes a note, and sums its level over its sounding frames.
  # A break shorter than 50 ms continues the note, in both sources alike: the silences that Wine
  # inserts are that short (counted as short breaks), and the notes of the song on one side are
  # further apart.
  function side(s, c, v, n,   on, k) {
    on = abs(v) > threshold[c]
    k = notes[s, c]
    if (on && !playing[s, c]) {
      if (k > 0 && n - end[s, c, k] < 2205) {
        breaks[s, c]++
      } else {
        k = ++notes[s, c]; start[s, c, k] = n; sum[s, c, k] = 0; sounding[s, c, k] = 0
      }
    }
    if (on) { sum[s, c, k] += abs(v); sounding[s, c, k]++; end[s, c, k] = n + 1 }
    playing[s, c] = on
  }
  BEGIN { source = 0; threshold[0] = half_left; threshold[1] = half_right }
  $1 == "--" { source = 1; next }
  {
    if (!begun[source]) { if (abs($1) <= threshold[0] && abs($2) <= threshold[1]) next; begun[source] = 1 }
    if (source == 1 && counted[1] >= counted[0]) next   # past the end of the render
    side(source, 0, $1, counted[source]); side(source, 1, $2, counted[source]); counted[source]++
  }
  END {
    status = 0
    if (counted[1] < counted[0]) {
      printf "sequencer_sink: the recording holds %d of the render'"'"'s %d frames after the first sound\n", counted[1], counted[0] > "/dev/stderr"
      status = 1
    }
    for (c = 0; c < 2; c++) {
      name = c == 0 ? "left (track 0)" : "right (track 1)"
      # The notes of the render that the recording must hold: all but those starting in its
      # last 50 ms; the recording holds as many, and one more only if the render has it too.
      judged = 0
      for (k = 1; k <= notes[0, c]; k++) if (start[0, c, k] < counted[0] - 2205) judged = k
      shorter = 0; longer = 0; low = 9; high = 0
      for (k = 1; k <= judged && k <= notes[1, c]; k++) {
        # How much longer the recording holds the note, and the time since the note before.
        d = (end[1, c, k] - start[1, c, k]) - (end[0, c, k] - start[0, c, k])
        if (-d > shorter) shorter = -d; if (d > longer) longer = d
        d = k == 1 ? start[1, c, k] - start[0, c, k] : (start[1, c, k] - start[1, c, k - 1]) - (start[0, c, k] - start[0, c, k - 1])
        if (-d > shorter) shorter = -d; if (d > longer) longer = d
        ratio = (sum[1, c, k] / sounding[1, c, k]) / (sum[0, c, k] / sounding[0, c, k])
        if (ratio < low) low = ratio; if (ratio > high) high = ratio
      }
      printf "%s: %d notes in the render, %d in the recording; lengths and times from the note before at most %d frames shorter, %d longer; level ratio %.4f to %.4f; %d short breaks\n", name, notes[0, c], notes[1, c], shorter, longer, low, high, breaks[1, c]
      if (notes[1, c] < judged || notes[1, c] > notes[0, c] || judged == 0 || shorter >= 2205 || longer >= 4410 || low < 0.98 || high > 1.02) {
        print "sequencer_sink: the recording of the " name " side does not match the render" > "/dev/stderr"
        status = 1
      }
    }
    exit status
  }'
