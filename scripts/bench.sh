#!/usr/bin/env bash
# Runs the benchmarks (never part of the tests); each builds a Release copy
# of what it measures and prints its figures. Everything stays on loopback.
#   scripts/bench.sh [rvsim|polmon|xave|all] [options of that benchmark]
set -euo pipefail
cd "$(dirname "$0")/.."
which="${1:-all}"
shift || true
bash scripts/setup.sh
case "$which" in
  rvsim)  exec bash bench/rvsim/run_benchmark.sh "$@" ;;
  polmon) exec bash bench/polmon/run_bench.sh "$@" ;;
  xave)   exec bash bench/xave/stall_bench.sh "$@" ;;
  all)
    bash bench/rvsim/run_benchmark.sh
    bash bench/polmon/run_bench.sh
    bash bench/xave/stall_bench.sh ;;
  *) echo "usage: scripts/bench.sh [rvsim|polmon|xave|all]"; exit 2 ;;
esac
