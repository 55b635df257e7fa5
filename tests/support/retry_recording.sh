#!/usr/bin/env bash
# Runs a sound-recording test up to three times, until one run passes. The recordings go
# through Wine's mixer and the sound server in real time: now and then one of them drops a few
# milliseconds that the player did deliver (seen even on an idle machine, far more often on a
# busy one). A fault of ours shows in every run.
# Usage: retry_recording.sh <recording script> <arguments...>
set -uo pipefail
for attempt in 1 2; do
  if "$@"; then
    exit 0
  fi
  echo "retry_recording: $(basename "$1") failed (run $attempt); running it again" >&2
done
exec "$@"
