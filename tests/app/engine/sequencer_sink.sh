#!/usr/bin/env bash
# Records the sound server's null sink while the sequencer plays a song for 6 s through its
# SoftSound player and the real 10 ms timer (sequencer_sink_test.cpp), with a WAV render of the
# same 6 s armed, then compares the recording with the render (sequencer_sink_judge.py). The
# song's first 6 s hold notes of every length from a sixteenth to a half and rests between them.
#
# The song's two tracks take turns, and their instruments number every frame they make (a tone
# and a ramp while a note is held), so the recording tells which frame of the render each of its
# frames is. The sound server's exact silences pass as recording_judge.py says; frames missing
# without a silence may add up to what the player's queue dropped (the program prints that
# count) and 128 more (Wine's mixer slips a few frames now and then). A frame repeated, other
# sound, a silence longer than 0.1 s, a note of the render missing or sound where it rests fail.
# Usage: sequencer_sink.sh <wine-run> <test program>
set -euo pipefail
wine_run=$1
program=$2
capture=$PWD/sequencer_sink.raw
render=$PWD/sink_render.wav
source "$(dirname "$0")/../../zovuz/sound/sink_recording.sh"
rm -f "$render"
start_sink_recording "$capture"
TARVEX_SINK_SECONDS=6 "$wine_run" "$program" | tee program.out
stop_sink_recording
if [ ! -s "$render" ]; then
  echo "sequencer_sink: the program wrote no render" >&2
  exit 1
fi
dropped=$(queue_dropped_frames program.out)
/usr/bin/python3 "$(dirname "$0")/sequencer_sink_judge.py" "$render" "$capture" --may-lose $((dropped + 128))
