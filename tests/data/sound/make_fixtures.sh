#!/usr/bin/env bash
# Makes the sound-conversion test fixtures in this folder (sox, oggenc, opusenc; installed
# by scripts/bootstrap). Run it again only to change a fixture; the tests read the files
# committed beside it.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# WAVE: a 1 kHz tone at half scale, 800 frames at 8000 Hz, in three sample layouts (no
# dither, so the layouts differ only by their rounding).
sox -D -r 8000 -c 1 -n -b 8 -e unsigned-integer -t wavpcm pcm8_mono.wav synth 800s sine 1000 vol 0.5
sox -D -r 8000 -c 2 -n -b 16 -e signed-integer -t wavpcm pcm16_stereo.wav synth 800s sine 1000 vol 0.5
sox -D -r 8000 -c 1 -n -b 32 -e floating-point -t wavpcm float32_mono.wav synth 800s sine 1000 vol 0.5

# Ogg Vorbis with loop tags, mono 44100 Hz.
sox -r 44100 -c 1 -n -b 16 -t wavpcm "$tmp/long.wav" synth 140000s sine 440 vol 0.3
sox -r 44100 -c 1 -n -b 16 -t wavpcm "$tmp/short.wav" synth 8000s sine 440 vol 0.3
oggenc -Q -q 0 -c LOOPSTART=44100 -c LOOPLENGTH=88200 -o vorbis_loop_both.ogg "$tmp/long.wav"
oggenc -Q -q 0 -c LOOPSTART=1000 -o vorbis_loop_start.ogg "$tmp/short.wav"
oggenc -Q -q 0 -c LOOPLENGTH=5000 -o vorbis_loop_length.ogg "$tmp/short.wav"
# Tags that only look like loop tags are ignored; a later tag of a kind replaces an earlier one.
oggenc -Q -q 0 -c LOOPSTART=300 -c LOOPSTARTED=999 -c loopstart=7 -c LOOPLENGTH=100 -c LOOPLENGTH=2000 \
  -o vorbis_loop_tags_repeated.ogg "$tmp/short.wav"

# Chained Ogg Vorbis: a tone link, then a silent link of the same format; and a tone link
# followed by a stereo link, which cannot share its output format.
sox -r 44100 -c 1 -n -b 16 -t wavpcm "$tmp/silent.wav" trim 0 6000s
sox -r 44100 -c 2 -n -b 16 -t wavpcm "$tmp/stereo.wav" synth 6000s sine 880 vol 0.3
oggenc -Q -q 0 -o "$tmp/a.ogg" "$tmp/short.wav"
oggenc -Q -q 0 -o "$tmp/b.ogg" "$tmp/silent.wav"
oggenc -Q -q 0 -o "$tmp/c.ogg" "$tmp/stereo.wav"
cat "$tmp/a.ogg" "$tmp/b.ogg" > vorbis_chained.ogg
cat "$tmp/a.ogg" "$tmp/c.ogg" > vorbis_chained_mixed.ogg

# Ogg Opus: stereo, 48000 frames at 48000 Hz.
sox -r 48000 -c 2 -n -b 16 -t wavpcm "$tmp/opus.wav" synth 48000s sine 440 vol 0.3
opusenc --quiet --bitrate 12 "$tmp/opus.wav" opus_stereo_48000.opus

# Compressed WAVE for the ACM converter: the same 1 kHz half-scale tone at 8000 Hz in each codec
# sox writes. The IMA ADPCM file is long enough for seeks back past a look-ahead; the GSM file
# is longer than one 2048-byte piece, whose output is more than a second of sound.
sox -D -r 8000 -c 2 -n -e ima-adpcm -t wav acm_ima_adpcm_stereo.wav synth 16000s sine 1000 vol 0.5
sox -D -r 8000 -c 1 -n -e ms-adpcm -t wav acm_ms_adpcm_mono.wav synth 8000s sine 1000 vol 0.5
sox -D -r 8000 -c 1 -n -e gsm-full-rate -t wav acm_gsm_mono.wav synth 16000s sine 1000 vol 0.5
sox -D -r 8000 -c 1 -n -e a-law -t wav acm_alaw_mono.wav synth 4000s sine 1000 vol 0.5
sox -D -r 8000 -c 1 -n -e u-law -t wav acm_mulaw_mono.wav synth 4000s sine 1000 vol 0.5
# 24-bit PCM as sox writes it by default: WAVE_FORMAT_EXTENSIBLE, which ACM does not convert.
sox -D -r 8000 -c 1 -n -b 24 -t wav extensible_pcm24_mono.wav synth 800s sine 1000 vol 0.5

# MP3 (lame): MPEG-1 CBR 128 kbit/s stereo at 44100 Hz, MPEG-2 32 kbit/s mono at 22050 Hz (long
# enough for seeks back past a look-ahead), and
# one with an ID3v2 tag at its start and an ID3v1 tag at its end.
sox -D -r 44100 -c 2 -n -b 16 -t wavpcm "$tmp/mp3_44100.wav" synth 0.5 sine 1000 vol 0.5
sox -D -r 22050 -c 1 -n -b 16 -t wavpcm "$tmp/mp3_22050.wav" synth 4 sine 1000 vol 0.5
lame --quiet -b 128 "$tmp/mp3_44100.wav" mp3_cbr_44100_stereo.mp3
lame --quiet -b 32 "$tmp/mp3_22050.wav" mp3_mpeg2_22050_mono.mp3
lame --quiet -b 64 --resample 44.1 --add-id3v2 --tt "Tone" --ta "tarvex" "$tmp/mp3_44100.wav" mp3_id3_tags.mp3
