# Desktops for tests that run side by side. A desktop is an Xvfb display, a PulseAudio server
# with one null sink, and a Wine prefix with its own wineserver: windows, focus, keyboard input,
# the clipboard and recorded sound of one desktop never meet another's (all processes of one
# prefix share one window station, whatever display they name).
#
# scripts/test starts one desktop per CTest job and lists them in a resource file (one
# "desktop" resource per slot); a test that asks for a desktop (RESOURCE_GROUPS desktop:1, see
# tests/CMakeLists.txt) is handed a free one in CTEST_RESOURCE_GROUP_*, and wine-run and the
# recording scripts enter it with tarvex_enter_desktop.
#
# The prefixes are hard-linked copies of one template prefix that wineboot prepares once per build
# folder (about 590 MB); a copy costs a few MB and a fraction of a second. The files Wine rewrites
# in place (the .ini files, the users' folders) are copied for real; the registry is saved by
# writing a new file and renaming it over the old, which leaves the template's alone.
#
# Source it; it defines functions only (wine-run sources it too).

# The slot's environment, when CTest handed this process a desktop: DISPLAY, the PulseAudio server
# and its sink (PULSE_SINK, and PULSE_SOURCE for its monitor), WINEPREFIX. Without a handed desktop
# the environment stays as it is (the run's shared desktop).
tarvex_enter_desktop() { # <desktops folder>
  local i group id
  for ((i = 0; i < ${CTEST_RESOURCE_GROUP_COUNT:-0}; i++)); do
    group=CTEST_RESOURCE_GROUP_$i
    [ "${!group}" = desktop ] || continue
    group=${group}_DESKTOP
    id=${!group#id:}
    id=${id%%,*}
    if [ ! -f "$1/$id/env" ]; then
      echo "tarvex: desktop $id was handed out but not started ($1/$id/env is missing)" >&2
      return 1
    fi
    set -a
    source "$1/$id/env"
    set +a
    return 0
  done
}

# Makes `prefix` unless it is ready: a hard-linked copy of the build's template prefix, which
# wineboot prepares first if needed. Parallel callers wait for each other (flock).
tarvex_make_prefix() { # <build folder> <prefix>
  local template=$1/wineprefix-template prefix=$2
  [ -f "$prefix/.tarvex-ready" ] && return 0
  (
    flock 9
    if [ ! -f "$template/.tarvex-ready" ]; then
      rm -rf "$template"
      WINEPREFIX=$template wineboot -i >/dev/null 2>&1 && WINEPREFIX=$template wineserver -w &&
        touch "$template/.tarvex-ready"
    fi
  ) 9>"$template.lock"
  if [ ! -f "$template/.tarvex-ready" ]; then
    echo "tarvex: could not make the Wine prefix $template (is wine32 installed?)" >&2
    return 1
  fi
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    [ -f "$prefix/.tarvex-ready" ] && exit 0
    rm -rf "$prefix" "$prefix.new"
    cp -al "$template" "$prefix.new" || exit 1
    rm -f "$prefix.new/.tarvex-ready"
    for f in "$template"/*.reg "$template"/drive_c/windows/*.ini; do
      cp --remove-destination "$f" "$prefix.new/${f#"$template"/}" || exit 1
    done
    rm -rf "$prefix.new/drive_c/users" && cp -a "$template/drive_c/users" "$prefix.new/drive_c/users" &&
      touch "$prefix.new/.tarvex-ready" && mv "$prefix.new" "$prefix"
  ) 9>"$prefix.lock"
  if [ ! -f "$prefix/.tarvex-ready" ]; then
    echo "tarvex: could not copy the Wine prefix $template to $prefix" >&2
    return 1
  fi
}

tarvex_source_env() { # <desktop env file>
  set -a
  source "$1"
  set +a
}

# A test prefix made afresh from the template: no state of an earlier run carries over. Its windows
# are unmanaged: Wine waits 2 s for a window manager at the end of every managed window, and the
# test displays run none.
tarvex_make_test_prefix() { # <prefix>
  WINEPREFIX=$1 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$1"
  tarvex_make_prefix "$TARVEX_BUILD_DIR" "$1" || return 1
  printf '\n[Software\\\\Wine\\\\X11 Driver] %s\n"Managed"="N"\n' "$(date +%s)" >>"$1/user.reg"
}

# Starts `count` desktops (0 to count-1) in <build>/desktops/<id>/, each described by its env
# file, with a test prefix of its own, its Wine server and system processes held for
# the run (tarvex_hold_wine_prefix), and writes CTest's resource file listing them
# (<build>/desktops/resources.json). Needs env.sh's starters; tarvex_stop_started stops them.
tarvex_start_desktops() { # <count>
  local count=$1 dir=$TARVEX_BUILD_DIR/desktops id display runtime prefix list="" pids=()
  mkdir -p "$dir"
  rm -f "$dir"/*/env
  for ((id = 0; id < count; id++)); do
    prefix=$dir/$id/wineprefix
    tarvex_make_test_prefix "$prefix" || return 1
    tarvex_start_xvfb display || return 1
    tarvex_start_pulse runtime "tarvex_desktop_$id" || return 1
    printf '%s=%q\n' DISPLAY "$display" XDG_RUNTIME_DIR "$runtime" PULSE_RUNTIME_PATH "$runtime/pulse" \
      PULSE_SERVER "unix:$runtime/pulse/native" PULSE_SINK "tarvex_desktop_$id" \
      PULSE_SOURCE "tarvex_desktop_$id.monitor" WINEPREFIX "$prefix" TARVEX_DESKTOP "$id" >"$dir/$id/env"
    tarvex_started_prefixes+=("$prefix")
    tarvex_hold_wine_prefix "$dir/$id/env"
    list+="${list:+,}{\"id\":\"$id\",\"slots\":1}"
  done
  for ((id = 0; id < count; id++)); do
    tarvex_wait_for_wine_prefix "$dir/$id/env" &
    pids+=($!)
  done
  for id in "${pids[@]}"; do
    wait "$id"
  done
  printf '{"version":{"major":1,"minor":0},"local":[{"desktop":[%s]}]}\n' "$list" >"$dir/resources.json"
}
