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
  # With ccache, the tests' compiles behind their precompiled header are cached only with these two
  # allowances, added to the machine's own.
  if command -v ccache >/dev/null; then
    CCACHE_SLOPPINESS="$(ccache -k sloppiness 2>/dev/null), pch_defines, time_macros"
    export CCACHE_SLOPPINESS
  fi
  if [ $# -gt 0 ]; then
    cmake --build "$TARVEX_BUILD_DIR" --target "$@"
  else
    cmake --build "$TARVEX_BUILD_DIR"
  fi
}

tarvex_started_pids=()
tarvex_started_prefixes=()   # Wine prefixes whose server the stop ends
tarvex_started_runtime_dirs=()
tarvex_wine_hold_fds=()

# An Xvfb of our own at 1920x1080x24 (the window may be that large); its display (":N") goes into
# the variable named. Xvfb picks a free display itself and writes its number to the -displayfd
# pipe once it accepts clients, so two runs started at once never race for the same number.
tarvex_start_xvfb() { # <variable>
  local tarvex_fifo tarvex_n=""
  tarvex_fifo=$(mktemp -u "${TMPDIR:-/tmp}/tarvex-xvfb.XXXXXX")
  mkfifo "$tarvex_fifo"
  Xvfb -displayfd 9 -screen 0 1920x1080x24 -nolisten tcp 9>"$tarvex_fifo" >/dev/null 2>&1 &
  tarvex_started_pids+=($!)
  read -r -t 20 tarvex_n <"$tarvex_fifo" || true
  rm -f "$tarvex_fifo"
  if [ -z "$tarvex_n" ]; then
    echo "tarvex: Xvfb did not start" >&2
    return 1
  fi
  printf -v "$1" ':%s' "$tarvex_n"
}

tarvex_start_display() {
  tarvex_start_xvfb DISPLAY
  export DISPLAY
}

# A PulseAudio server in a runtime folder of its own (made here, named in the variable given),
# with one null sink: DirectSound then plays in real time, and `parec -d <sink>.monitor` records
# what the program plays.
tarvex_start_pulse() { # <runtime folder variable> <sink name>
  local tarvex_runtime
  tarvex_runtime=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-pulse.XXXXXX")
  chmod 700 "$tarvex_runtime"
  tarvex_started_runtime_dirs+=("$tarvex_runtime")
  printf -v "$1" '%s' "$tarvex_runtime"
  XDG_RUNTIME_DIR=$tarvex_runtime PULSE_RUNTIME_PATH=$tarvex_runtime/pulse \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --disable-shm=true \
    -L "module-null-sink sink_name=$2" -L module-native-protocol-unix >"$tarvex_runtime/pulseaudio.log" 2>&1 &
  tarvex_started_pids+=($!)
  for _ in $(seq 1 100); do
    [ -S "$tarvex_runtime/pulse/native" ] && return 0
    sleep 0.1
  done
  echo "tarvex: PulseAudio did not start (see $tarvex_runtime/pulseaudio.log)" >&2
  return 1
}

# The sound server of the shared desktop; its sink's name in PULSE_SINK, its monitor in
# PULSE_SOURCE.
tarvex_start_sound() {
  tarvex_start_pulse XDG_RUNTIME_DIR nul
  export XDG_RUNTIME_DIR PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse PULSE_SINK=nul PULSE_SOURCE=nul.monitor
}

# Wine starts a prefix's server and its system processes (services.exe, explorer.exe and the
# rest) from the first program that runs in it, and they inherit that program's output. CTest
# waits until a test's output closes, so a short test that happened to start them seemed to run
# for as long as other tests kept the prefix busy (minutes in a full run). A program of our own,
# with its output away from every test, starts them first and keeps them until the run ends.
# The prefix and the display are the environment's, or those of the desktop whose env file is
# given.
tarvex_hold_wine_prefix() { # [desktop env file]
  local fifo fd
  fifo=$(mktemp -u "${TMPDIR:-/tmp}/tarvex-wine-hold.XXXXXX")
  mkfifo "$fifo"
  # cmd.exe waits for commands until its input closes: when this shell ends, or at the stop.
  (
    [ $# -eq 0 ] || tarvex_source_env "$1"
    exec "$TARVEX_BUILD_DIR/wine-run" cmd.exe
  ) <"$fifo" >/dev/null 2>&1 &
  tarvex_started_pids+=($!)
  exec {fd}>"$fifo"
  tarvex_wine_hold_fds+=("$fd")
  rm -f "$fifo"
  [ $# -gt 0 ] || tarvex_started_prefixes+=("${WINEPREFIX:-$TARVEX_BUILD_DIR/wineprefix}")
}

# Once a second program has run in a held prefix, its server and system processes are up.
tarvex_wait_for_wine_prefix() { # [desktop env file]
  (
    [ $# -eq 0 ] || tarvex_source_env "$1"
    exec "$TARVEX_BUILD_DIR/wine-run" cmd.exe /c exit
  ) </dev/null >/dev/null 2>&1 || true
}

tarvex_stop_started() {
  # Wine's servers for our prefixes go first, then what we started, by process id.
  local pid prefix fd dir
  for prefix in "${tarvex_started_prefixes[@]}"; do
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  done
  for pid in "${tarvex_started_pids[@]}"; do
    kill "$pid" >/dev/null 2>&1 || true
  done
  for pid in "${tarvex_started_pids[@]}"; do
    wait "$pid" >/dev/null 2>&1 || true
  done
  for fd in "${tarvex_wine_hold_fds[@]}"; do
    exec {fd}>&-
  done
  for dir in "${tarvex_started_runtime_dirs[@]}"; do
    case "$dir" in *tarvex-pulse.*) rm -rf "$dir" ;; esac
  done
  tarvex_started_pids=() tarvex_started_prefixes=() tarvex_wine_hold_fds=() tarvex_started_runtime_dirs=()
  return 0
}

source "$tarvex_top/scripts/desktop.sh"
