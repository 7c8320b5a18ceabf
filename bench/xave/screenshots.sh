#!/usr/bin/env bash
# Makes docs/screenshots/xave.png and xave_ipchange.png on the offscreen
# platform, over a bench set up like the demo's.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${XAV_BUILD:-$root/build}"
bin="$build/bin"
cmake --build "$build" --target xave_screenshot bench_ruinet bench_ruiping xav-bench-modules xav-configgen >/dev/null
work="$(mktemp -d)"; XDG_CONFIG_HOME="$(mktemp -d)"; export XDG_CONFIG_HOME
trap 'rm -rf "$work" "$XDG_CONFIG_HOME"' EXIT
cp "$bin/ruinet.exe" "$bin/ruiping.exe" "$work/"
export PATH="$root/bench/xave/fakebin:$PATH"
"$bin/xav-configgen" --protocol 1 --plc 10.10.0.5 --title "Press line 1" --file 9 --base 20 >"$work/p.csv"
"$bin/xav-configgen" --protocol 3 --plc 127.0.0.1 --title "RVSIM bench" --register 40001 >"$work/m.csv"
"$bin/xav-bench-modules" add 127.0.0.11 --name "PRESS-1" --config "$work/p.csv" >/dev/null
"$bin/xav-bench-modules" add 127.0.0.12 --name "PACKING" >/dev/null
"$bin/xav-bench-modules" add 127.0.0.13 --name "BENCH-RVSIM" --config "$work/m.csv" >/dev/null
rm -f "$work"/*.csv
mkdir -p "$root/docs/screenshots"
cd "$work"
QT_QPA_PLATFORM=offscreen "$bin/xave_screenshot" "$root/docs/screenshots/xave.png" \
  "$root/docs/screenshots/xave_ipchange.png" 127.0.0.11
echo "wrote docs/screenshots/xave.png and xave_ipchange.png"
