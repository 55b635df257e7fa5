# Sourced by the recording tests: records the sound server's null sink into a raw file of
# 16-bit stereo at 44100 Hz while a test program plays.
#   start_sink_recording <file>   starts parec and returns once sound data arrives
#   stop_sink_recording           lets what the server still holds arrive, then stops parec
# The sink is the one of the desktop CTest handed the test (wine-run plays there too), or the
# environment's (PULSE_SOURCE names its monitor). The sourcing script sets wine_run first.

source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/desktop.sh"
tarvex_enter_desktop "$(dirname "$wine_run")/desktops" || exit 1

start_sink_recording() {
  sink_capture=$1
  rm -f "$sink_capture"
  if ! pactl info >/dev/null 2>&1; then
    echo "$(basename "$0"): no sound server (scripts/test starts a PulseAudio null sink)" >&2
    exit 1
  fi
  parec -d "${PULSE_SOURCE:-nul.monitor}" --latency-msec=20 --format=s16le --rate=44100 --channels=2 >"$sink_capture" &
  sink_recorder=$!
  trap 'kill $sink_recorder 2>/dev/null || true' EXIT
  # The recording stream takes a while to start: play only once sound data arrives.
  for _ in $(seq 1 100); do
    [ -s "$sink_capture" ] && break
    sleep 0.1
  done
  if [ ! -s "$sink_capture" ]; then
    echo "$(basename "$0"): parec records nothing from ${PULSE_SOURCE:-nul.monitor}" >&2
    exit 1
  fi
}

stop_sink_recording() {
  sleep 0.5
  kill "$sink_recorder"
  wait "$sink_recorder" 2>/dev/null || true
  trap - EXIT
}

# The frames the SoftSound player's queue dropped, as soft_sound_device_test.cpp prints them in
# its output (the file given); the test fails when the line is missing.
queue_dropped_frames() {
  local dropped
  dropped=$(sed -n 's/^soft sound player: \([0-9]*\) frames dropped from the queue.*/\1/p' "$1")
  if [ -z "$dropped" ]; then
    echo "$(basename "$0"): the program did not say how many frames its queue dropped" >&2
    exit 1
  fi
  echo "$dropped"
}
