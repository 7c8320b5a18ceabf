#!/usr/bin/env bash
# Poll-cycle benchmark of TVR_Polmon against the simulated drive network.
#   bench/polmon/run_bench.sh [--quick]
# 1. 20 drives, every byte paced at 9600 baud, 1 ms turnaround: cycle time
#    (median and max over 200 cycles) against the wire limit, and the longest
#    event-loop stall of the window.
# 2. The same with the Statistics window open and refreshing all along.
# 3. Memory over 100,000 polls (10,000 with --quick), against an unpaced
#    network (a reply's bytes at once) so that the run takes minutes rather
#    than a quarter of an hour.
# Builds a Release tree in build-bench/ (no tests, no sanitizers).
set -euo pipefail
cd "$(dirname "$0")/../.."
polls=100000
if [ "${1:-}" = "--quick" ]; then polls=10000; fi

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DXAV_SANITIZE=OFF -DXAV_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target tvr-drive-sim polmon-bench >/dev/null
bin="$PWD/build-bench/bin"

work="$(mktemp -d)"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=offscreen
cd "$work"

start_sim() {
  "$bin/tvr-drive-sim" --com 9 --drives 20 --report /dev/null "$@" >"$work/sim.out" &
  sim_pid=$!
  for _ in $(seq 100); do
    grep -q '^ready' "$work/sim.out" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "the simulator did not start" >&2
  exit 1
}
stop_sim() {
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=""
}

echo "== Poll cycle: 20 drives, paced 9600 baud, 1 ms turnaround, 200 cycles"
start_sim --turnaround-ms 1
"$bin/polmon-bench" --com 9 --cycles 200 --drives 20 --turnaround-ms 1
stop_sim

echo
echo "== Poll cycle with the Statistics window open: 20 drives, paced 9600 baud, 1 ms turnaround, 200 cycles"
start_sim --turnaround-ms 1
"$bin/polmon-bench" --com 9 --cycles 200 --drives 20 --turnaround-ms 1 --statistics
stop_sim

echo
echo "== Memory: $polls polls, 20 drives, unpaced"
start_sim --unpaced --turnaround-ms 0
"$bin/polmon-bench" --com 9 --polls "$polls" --drives 20 --turnaround-ms 0
stop_sim
