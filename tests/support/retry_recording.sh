#!/usr/bin/env bash
# Runs a sound-recording test and, when it fails, runs it once more. The recordings go through
# Wine's mixer in real time: on a machine busy with other work it can fall behind for a moment
# and leave a gap that the player did not make. A fault of ours fails both runs.
# Usage: retry_recording.sh <recording script> <arguments...>
set -uo pipefail
if "$@"; then
  exit 0
fi
echo "retry_recording: $(basename "$1") failed; running it once more" >&2
exec "$@"
