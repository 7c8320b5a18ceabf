#!/usr/bin/env bash
# Runs the test suite N times while both cores are kept busy, and lists every
# test that failed at least once (with how often), and the GoogleTest cases
# that failed in them (a test runs one suite):
#   scripts/stress-tests.sh [-n N] [-d BUILD_DIR] [-j JOBS] [-p NICE] [-- CTEST ARGS...]
# The build dir must be built already (by default build/, as scripts/test.sh
# leaves it). The load (stress-ng, or busy shell loops where it is missing)
# runs beside the tests at nice level NICE (19, the lowest priority, unless
# told; -p 0 competes with the tests as other users' work would) and ends
# with the script, also when it is interrupted. Exit status 1 when any test
# failed.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=5
dir=build
# As many test slots as scripts/test.sh gives them.
jobs=$(( 3 * $(nproc) + 2 ))
niceness=19
while [ $# -gt 0 ]; do
  case "$1" in
    -n) runs="$2"; shift 2 ;;
    -d) dir="$2"; shift 2 ;;
    -j) jobs="$2"; shift 2 ;;
    -p) niceness="$2"; shift 2 ;;
    --) shift; break ;;
    *) echo "usage: $0 [-n N] [-d BUILD_DIR] [-j JOBS] [-p NICE] [-- CTEST ARGS...]" >&2; exit 2 ;;
  esac
done
[ -f "$dir/CTestTestfile.cmake" ] || { echo "no tests in $dir: build it first (scripts/test.sh)" >&2; exit 2; }
dir=$(cd "$dir" && pwd)
work=$(mktemp -d)

load_pids=()
stop_load() {
  for p in "${load_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${load_pids[@]}"; do wait "$p" 2>/dev/null || true; done
  load_pids=()
}
cleanup() { stop_load; rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

cores=$(nproc)
if command -v stress-ng >/dev/null; then
  nice -n "$niceness" stress-ng --cpu "$cores" --quiet &
  load_pids+=($!)
  load="stress-ng, $cores CPU worker(s)"
else
  for _ in $(seq "$cores"); do
    nice -n "$niceness" bash -c 'while :; do :; done' &
    load_pids+=($!)
  done
  load="$cores busy loop(s)"
fi
echo "load: $load at nice $niceness on $cores core(s); $runs run(s) of the tests in $dir"

export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
start=$(date +%s)
for i in $(seq "$runs"); do
  t0=$(date +%s)
  status=0
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest -j"$jobs" --timeout 300 --output-on-failure "$@" >"$work/run$i.log" 2>&1) || status=$?
  # ctest's summary names each failed test as "  NNN - name (Failed)".
  sed -n 's/^[[:space:]]*[0-9]\+ - \(.*\) (\(Failed\|Timeout\|.*Exception.*\|Not Run\|SEGFAULT\|Subprocess aborted\))$/\1/p' \
    "$work/run$i.log" >"$work/failed$i"
  # A test runs a whole GoogleTest suite: its output names the failed cases.
  sed -n 's/^\[  FAILED  \] \([^ ,]*\.[^ ,]*\).*/\1/p' "$work/run$i.log" | sort -u >"$work/cases$i"
  summary=$(grep -E 'tests passed|tests failed' "$work/run$i.log" | tail -1 || true)
  echo "run $i: ${summary:-no summary (ctest exit $status)}, $(( $(date +%s) - t0 )) s"
  if [ "$status" -ne 0 ] && [ ! -s "$work/failed$i" ]; then
    echo "  ctest failed without naming a test; its output ends:"; tail -20 "$work/run$i.log" | sed 's/^/  /'
    echo "(ctest exit $status)" >"$work/failed$i"
  fi
done
stop_load

echo "$runs run(s) under load in $(( $(date +%s) - start )) s"
if cat "$work"/failed* | grep -q .; then
  echo "tests that failed at least once (failures/runs):"
  cat "$work"/failed* | sort | uniq -c | sort -rn | awk -v n="$runs" '{c=$1; $1=""; printf "  %s/%d %s\n", c, n, substr($0,2)}'
  if cat "$work"/cases* | grep -q .; then
    echo "cases of theirs that failed (failures/runs):"
    cat "$work"/cases* | sort | uniq -c | sort -rn | awk -v n="$runs" '{printf "  %s/%d %s\n", $1, n, $2}'
  fi
  exit 1
fi
echo "no test failed"
