#!/usr/bin/env bash
# XAVE's scan cycle under load: the window runs offscreen for 60 scan ticks
# over the bench utilities with 16 simulated modules, and the probe reports
# the longest event-loop stall (goal: under 50 ms) and the memory at ticks
# 10, 30 and 60 (it should stay flat).
#   bench/xave/stall_bench.sh [TICKS]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${XAV_BENCH_BUILD:-$root/build-bench}"
ticks="${1:-60}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DXAV_SANITIZE=OFF -DXAV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target xave_stall_bench bench_ruinet bench_ruiping xav-bench-modules >/dev/null
bin="$build/bin"

work="$(mktemp -d)"; XDG_CONFIG_HOME="$(mktemp -d)"; export XDG_CONFIG_HOME
trap 'rm -rf "$work" "$XDG_CONFIG_HOME"' EXIT
cp "$bin/ruinet.exe" "$bin/ruiping.exe" "$work/"
export PATH="$root/bench/xave/fakebin:$PATH"
for i in $(seq 11 26); do
  "$bin/xav-bench-modules" add "127.0.0.$i" --name "BENCH-XAV-$i" >/dev/null
done

echo "XAVE scan cycle: $ticks ticks, 16 simulated modules, $(nproc) cores"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
cd "$work"
# The same probe on an empty event loop first: what the machine itself costs.
QT_QPA_PLATFORM=offscreen "$bin/xave_stall_bench" 20 idle
QT_QPA_PLATFORM=offscreen "$bin/xave_stall_bench" "$ticks"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
