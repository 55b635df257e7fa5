#!/usr/bin/env bash
# Writes the movie tests' Ogg Theora files into the folder given (made at build time, never
# committed). Frame f of each grey movie is a flat grey of luma 16 + 7 * f with neutral chroma, so a
# test knows each frame by its grey.
#   gray_64x48.ogv         64 x 48, 15 fps, 30 frames
#   gray_60x44.ogv         the same frames at 60 x 44 (a picture smaller than the coded frame)
#   gray_64x48_vorbis.ogv  the 64 x 48 frames with a 2 s 440 Hz Vorbis track
#   pattern_64x48.ogv      40 frames of moving ramps, a keyframe every 8 frames and inter
#                          frames between them
#   pattern_60x44.ogv      8 frames of the ramps in a 60 x 44 picture
#   pattern_61x45.ogv      8 frames of the ramps in a picture of odd size
# A ramp frame n has luma 16 + (x + 2y + 5n) % 220, U 64 + (x + y + 3n) % 128 and
# V 64 + (x + 2y + n) % 128 at chroma sample (x, y).
# With "bench" as a second argument it writes pattern_640x480.ogv instead: 120 frames at 30 fps of
# diagonal luma and chroma ramps that move every frame, so that each frame costs real decoding.
set -euo pipefail
out=$1
mode=${2:-tests}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# y4m <width> <height> <fps> <frames> <file>: the grey frames as 4:2:0 YUV4MPEG2.
y4m() {
  python3 - "$@" <<'PY'
import sys
w, h, fps, frames, path = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
cw, ch = (w + 1) // 2, (h + 1) // 2
with open(path, "wb") as f:
    f.write(b"YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C420jpeg\n" % (w, h, fps))
    for i in range(frames):
        luma = (16 + 7 * i) % 256
        f.write(b"FRAME\n" + bytes([luma]) * (w * h) + bytes([128]) * (cw * ch * 2))
PY
}

# pattern_y4m <width> <height> <fps> <frames> <file>: diagonal luma and chroma ramps that move
# every frame, so that frames are coded from the ones before them.
pattern_y4m() {
  python3 - "$@" <<'PY'
import sys
w, h, fps, frames, path = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
ramp = bytes(16 + i % 220 for i in range(4096))
chroma = bytes(64 + i % 128 for i in range(4096))
cw, ch = (w + 1) // 2, (h + 1) // 2
with open(path, "wb") as f:
    f.write(b"YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C420jpeg\n" % (w, h, fps))
    for n in range(frames):
        f.write(b"FRAME\n")
        f.write(b"".join(ramp[2 * y + 5 * n:2 * y + 5 * n + w] for y in range(h)))
        f.write(b"".join(chroma[y + 3 * n:y + 3 * n + cw] for y in range(ch)))
        f.write(b"".join(chroma[2 * y + n:2 * y + n + cw] for y in range(ch)))
PY
}

encode() { # <y4m> <ogv> [encoder options] [audio wav]
  local video=$1 ogv=$2
  shift 2
  theora_encoder_example -v 10 -a 2 -o "$work/out.ogv" "$@" "$video" 2>/dev/null
  mv "$work/out.ogv" "$ogv"
}

if [ "$mode" = bench ]; then
  pattern_y4m 640 480 30 120 "$work/bench.y4m"
  encode "$work/bench.y4m" "$out/pattern_640x480.ogv"
  exit 0
fi
y4m 64 48 15 30 "$work/64x48.y4m"
y4m 60 44 15 30 "$work/60x44.y4m"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 2 sine 440 vol 0.5
encode "$work/64x48.y4m" "$out/gray_64x48.ogv"
pattern_y4m 64 48 15 40 "$work/pattern.y4m"
encode "$work/pattern.y4m" "$out/pattern_64x48.ogv" -k 8
pattern_y4m 60 44 15 8 "$work/pattern_small.y4m"
encode "$work/pattern_small.y4m" "$out/pattern_60x44.ogv"
pattern_y4m 61 45 15 8 "$work/pattern_odd.y4m"
encode "$work/pattern_odd.y4m" "$out/pattern_61x45.ogv"
encode "$work/60x44.y4m" "$out/gray_60x44.ogv"
encode "$work/64x48.y4m" "$out/gray_64x48_vorbis.ogv" "$work/tone.wav"
