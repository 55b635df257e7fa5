#!/usr/bin/env bash
# The test runner's wrapper (the build's wine-run) with a stand-in for wine: what the program
# says and the status it ends with come through; a process it leaves behind holding its output
# does not hold the run; a program that hangs after writing its result fails, named, while one
# that Wine's server kills after writing it ends with that result.
# Usage: wine_run_test.sh <build's wine-run>
set -u
wine_run=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/prefix"
touch "$work/prefix/.tarvex-ready"
# The stand-in writes its result as the test programs do, then behaves as its first argument says.
cat >"$work/bin/wine" <<'STANDIN'
#!/usr/bin/env bash
echo "said on the output"
echo "said on the errors" >&2
printf '%s\r\n' "${2:-0}" >"$TARVEX_EXIT_CODE_FILE"
case $1 in
  daemon) (sleep 60 &) ;;
  hang) sleep 60 ;;
  serverkill) kill -KILL $$ ;;
  crash) exit 70 ;;
esac
exit "${2:-0}"
STANDIN
chmod +x "$work/bin/wine"

failures=0
# <case> <result> <expected status> <most seconds> <text the output must hold>
check() {
  local start end output status
  start=$(date +%s)
  # Through a pipe, as CTest reads a test: the run ends when the pipe closes.
  PATH="$work/bin:$PATH" WINEPREFIX="$work/prefix" TARVEX_END_GRACE_SECONDS=1 \
    "$wine_run" "$1" "$2" 2>&1 | cat >"$work/output"
  status=${PIPESTATUS[0]}
  output=$(cat "$work/output")
  end=$(date +%s)
  if [ "$status" != "$3" ] || [ $((end - start)) -gt "$4" ] ||
    [[ "$output" != *"said on the output"* ]] || [[ "$output" != *"said on the errors"* ]] ||
    [[ "$output" != *"$5"* ]]; then
    echo "FAIL $1 $2: status $status (expected $3), $((end - start)) s (at most $4), output:"
    echo "$output"
    failures=$((failures + 1))
  else
    echo "ok   $1 $2: status $status in $((end - start)) s"
  fi
}
check plain 0 0 5 ""
check plain 3 3 5 ""
check daemon 0 0 10 "still held its output after it ended"
check hang 0 137 20 "hang wrote its result (0) but had not ended"
check serverkill 5 5 5 "serverkill was killed by Wine's server after it had ended with 5"
check crash 0 70 5 "ended with status 70; the result it wrote: 0"
[ "$failures" = 0 ]
