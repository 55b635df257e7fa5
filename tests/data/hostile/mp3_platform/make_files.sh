#!/usr/bin/env bash
# Remakes the hostile MP3 inputs of the platform conversions in this folder:
#   truncated.mp3  the first 300 bytes of a lame file (less than its first frame)
#   garbage.mp3    4000 seeded random bytes
#   empty.mp3      no bytes
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sox -D -r 44100 -c 2 -n -b 16 -t wavpcm "$work/tone.wav" synth 2 sine 440 vol 0.5
lame --quiet -b 128 "$work/tone.wav" "$work/tone.mp3"
head -c 300 "$work/tone.mp3" >"$here/truncated.mp3"
python3 -c "
import random, sys; r = random.Random(72)
open(sys.argv[1], 'wb').write(bytes(r.randrange(256) for _ in range(4000)))" "$here/garbage.mp3"
: >"$here/empty.mp3"
