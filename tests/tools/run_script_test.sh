#!/usr/bin/env bash
# scripts/run with stand-ins for the build, the display, the working folder and the build's
# wine-run: Wine's window-management value is set (on a display of its own) or removed (on the
# machine's display) only in the build's own prefix; in a prefix the user named it is left alone.
# Usage: run_script_test.sh <source folder>
set -u
top=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scripts" "$work/build"
cp "$top/scripts/run" "$work/scripts/run"
cat >"$work/scripts/env.sh" <<'STANDIN'
TARVEX_BUILD_DIR=${TARVEX_BUILD_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}
tarvex_build() { :; }
tarvex_stop_started() { :; }
tarvex_start_display() { export DISPLAY=:99; }
tarvex_start_sound() { :; }
STANDIN
printf '#!/usr/bin/env bash\nexit 0\n' >"$work/scripts/workdir"
# The stand-in wine-run notes each program it runs, with its first argument.
cat >"$work/build/wine-run" <<'STANDIN'
#!/usr/bin/env bash
echo "${1##*/} ${2:-}" >>"$(dirname "$0")/calls"
STANDIN
chmod +x "$work/scripts/run" "$work/scripts/workdir" "$work/build/wine-run"

failures=0
# <case> <DISPLAY, or empty> <WINEPREFIX, or empty> <the calls expected, one a line>
check() {
  rm -f "$work/build/calls"
  local env=(env -u DISPLAY -u WINEPREFIX -u TARVEX_BUILD_DIR -u TARVEX_WORKDIR XDG_RUNTIME_DIR="$work")
  [ -z "$2" ] || env+=(DISPLAY="$2")
  [ -z "$3" ] || env+=(WINEPREFIX="$3")
  "${env[@]}" bash "$work/scripts/run" >"$work/output" 2>&1
  local calls
  calls=$(cat "$work/build/calls" 2>/dev/null)
  if [ "$calls" != "$4" ]; then
    echo "FAIL $1: the calls were"
    echo "$calls"
    echo "expected"
    echo "$4"
    cat "$work/output"
    failures=$((failures + 1))
  else
    echo "ok   $1"
  fi
}
check "own display, build's prefix" "" "" $'reg add\ntarvex.exe '
check "machine's display, build's prefix" ":5" "" $'reg delete\ntarvex.exe '
check "own display, build's prefix named" "" "$work/build/wineprefix" $'reg add\ntarvex.exe '
check "own display, the user's prefix" "" "$work/mine" "tarvex.exe "
check "machine's display, the user's prefix" ":5" "$work/mine" "tarvex.exe "
[ "$failures" = 0 ]
