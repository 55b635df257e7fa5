# Shared by scripts/test, scripts/run, scripts/bench and scripts/fuzz: configure and build, and
# start (and later stop) the display and the sound server the program needs under Wine.
# Source it; it defines functions only.

tarvex_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TARVEX_BUILD_DIR=${TARVEX_BUILD_DIR:-$tarvex_top/build}

tarvex_build() { # [targets...]
  "$tarvex_top/scripts/bootstrap"
  local deps
  deps=$("$tarvex_top/scripts/build-deps" --print-dir)
  # Warnings fail the build (TARVEX_WERROR=OFF in the environment turns that off for a local try).
  local werror=${TARVEX_WERROR:-ON}
  if [ ! -f "$TARVEX_BUILD_DIR/build.ninja" ] || ! grep -qs "TARVEX_DEPS_DIR:PATH=$deps\$" "$TARVEX_BUILD_DIR/CMakeCache.txt" ||
     ! grep -qs "TARVEX_WERROR:BOOL=$werror\$" "$TARVEX_BUILD_DIR/CMakeCache.txt"; then
    cmake -S "$tarvex_top" -B "$TARVEX_BUILD_DIR" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$tarvex_top/cmake/toolchain-i686-mingw.cmake" \
      -DTARVEX_DEPS_DIR="$deps" -DTARVEX_WERROR="$werror" >/dev/null
  fi
  if [ $# -gt 0 ]; then
    cmake --build "$TARVEX_BUILD_DIR" --target "$@"
  else
    cmake --build "$TARVEX_BUILD_DIR"
  fi
}

tarvex_started_pids=()

# An Xvfb of our own at 1920x1080x24 (the window may be that large). Xvfb picks a free display
# itself and writes its number to the -displayfd pipe once it accepts clients, so two runs
# started at once never race for the same number.
tarvex_start_display() {
  local fifo n=""
  fifo=$(mktemp -u "${TMPDIR:-/tmp}/tarvex-xvfb.XXXXXX")
  mkfifo "$fifo"
  Xvfb -displayfd 9 -screen 0 1920x1080x24 -nolisten tcp 9>"$fifo" >/dev/null 2>&1 &
  tarvex_started_pids+=($!)
  read -r -t 20 n <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$n" ]; then
    echo "tarvex: Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$n"
}

# A PulseAudio null sink with its own runtime folder: DirectSound then plays in real time,
# and `parec -d nul.monitor` records what the program plays.
tarvex_start_sound() {
  export XDG_RUNTIME_DIR
  XDG_RUNTIME_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-pulse.XXXXXX")
  chmod 700 "$XDG_RUNTIME_DIR"
  export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --disable-shm=true \
    -L "module-null-sink sink_name=nul" -L module-native-protocol-unix >"$XDG_RUNTIME_DIR/pulseaudio.log" 2>&1 &
  tarvex_started_pids+=($!)
  for _ in $(seq 1 50); do
    [ -S "$PULSE_RUNTIME_PATH/native" ] && return 0
    sleep 0.1
  done
  echo "tarvex: PulseAudio did not start (see $XDG_RUNTIME_DIR/pulseaudio.log)" >&2
  return 1
}

# Wine starts a prefix's server and its system processes (services.exe, explorer.exe and the
# rest) from the first program that runs in it, and they inherit that program's output. CTest
# waits until a test's output closes, so a short test that happened to start them seemed to run
# for as long as other tests kept the prefix busy (minutes in a full run). A program of our own,
# with its output away from every test, starts them first and keeps them until the run ends.
tarvex_hold_wine_prefix() {
  local fifo
  fifo=$(mktemp -u "${TMPDIR:-/tmp}/tarvex-wine-hold.XXXXXX")
  mkfifo "$fifo"
  # cmd.exe waits for commands until its input closes: when this shell ends, or at the stop.
  "$TARVEX_BUILD_DIR/wine-run" cmd.exe <"$fifo" >/dev/null 2>&1 &
  tarvex_started_pids+=($!)
  exec {tarvex_wine_hold_fd}>"$fifo"
  rm -f "$fifo"
  # Once a second program has run, the server and the system processes are up.
  "$TARVEX_BUILD_DIR/wine-run" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

tarvex_stop_started() {
  # Wine's server for our prefix goes first, then what we started, by process id.
  WINEPREFIX=${WINEPREFIX:-$TARVEX_BUILD_DIR/wineprefix} wineserver -k >/dev/null 2>&1 || true
  local pid
  for pid in "${tarvex_started_pids[@]}"; do
    kill "$pid" >/dev/null 2>&1 || true
  done
  for pid in "${tarvex_started_pids[@]}"; do
    wait "$pid" >/dev/null 2>&1 || true
  done
  tarvex_started_pids=()
  if [ -n "${tarvex_wine_hold_fd:-}" ]; then
    exec {tarvex_wine_hold_fd}>&-
    unset tarvex_wine_hold_fd
  fi
  [ -n "${XDG_RUNTIME_DIR:-}" ] && case "$XDG_RUNTIME_DIR" in *tarvex-pulse.*) rm -rf "$XDG_RUNTIME_DIR" ;; esac
  return 0
}
