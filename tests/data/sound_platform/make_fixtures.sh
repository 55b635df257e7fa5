#!/usr/bin/env bash
# Writes the platform conversion tests' sound files into the folder given (made at build time,
# never committed):
#   tone_440_stereo.mp3   2 s of 440 Hz at half scale, 44100 Hz stereo, lame at 128 kbit/s
#   tone_440_stereo.wav   the same MP3 decoded by lame --decode (the length and pitch reference)
#   tone_440_source.wav   the 16-bit PCM the MP3 was made from
#   six_channels.wav      0.5 s of 16-bit PCM in 6 channels at 44100 Hz
# With "bench" as a second argument it writes tone_30s.mp3 instead: 30 s of 440 Hz stereo.
set -euo pipefail
out=$1
mode=${2:-tests}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$mode" = bench ]; then
  sox -D -r 44100 -c 2 -n -b 16 -t wavpcm "$work/long.wav" synth 30 sine 440 vol 0.5
  lame --quiet -b 128 "$work/long.wav" "$out/tone_30s.mp3"
  exit 0
fi
sox -D -r 44100 -c 2 -n -b 16 -t wavpcm "$out/tone_440_source.wav" synth 2 sine 440 vol 0.5
lame --quiet -b 128 "$out/tone_440_source.wav" "$out/tone_440_stereo.mp3"
lame --quiet --decode "$out/tone_440_stereo.mp3" "$out/tone_440_stereo.wav"
sox -D -r 44100 -c 6 -n -b 16 -t wavpcm "$out/six_channels.wav" synth 0.5 sine 440 sine 550 sine 660 sine 770 \
  sine 880 sine 990 vol 0.5
