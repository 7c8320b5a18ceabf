#!/usr/bin/env bash
# XAVE on the bench: four simulated XAV modules at loopback addresses, the
# bench stand-ins of the loader (ruinet.exe) and the discovery utility
# (ruiping.exe) in a scratch working directory, and XAVE started there.
# A ping stand-in first on PATH answers only for the simulated modules; no
# packet leaves the machine.
#   scripts/demo.sh xave          (or, after a build: bash scripts/demo/xave.sh)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
# shellcheck source=lib.sh
source "$here/lib.sh"
build="${XAV_BUILD:-$root/build}"
bin="$build/bin"

need=(XAVE ruinet.exe ruiping.exe xav-bench-modules xav-configgen)
for p in "${need[@]}"; do
  if [ ! -x "$bin/$p" ]; then
    echo "Building the XAVE demo programs in $build ..."
    cmake -S "$root" -B "$build" >/dev/null
    cmake --build "$build" -j"$(nproc)" --target XAVE bench_ruinet bench_ruiping xav-bench-modules xav-configgen
    break
  fi
done

work="$(mktemp -d "${TMPDIR:-/tmp}/xave-demo.XXXXXX")"
XDG_CONFIG_HOME="$(mktemp -d "${TMPDIR:-/tmp}/xave-demo-store.XXXXXX")"
export XDG_CONFIG_HOME
cleanup() { rm -rf "$work" "$XDG_CONFIG_HOME"; }
trap cleanup EXIT

cp "$bin/ruinet.exe" "$bin/ruiping.exe" "$work/"
export PATH="$root/bench/xave/fakebin:$PATH"

# Four modules, one per protocol and one still on its factory configuration.
"$bin/xav-configgen" --protocol 1 --plc 10.10.0.5 --title "Press line 1" --file 9 --base 20 >"$work/pccc.csv"
"$bin/xav-configgen" --protocol 2 --plc 10.10.0.6 --title "Packing hall" --slot 2 >"$work/cip.csv"
"$bin/xav-configgen" --protocol 3 --plc 127.0.0.1 --title "RVSIM bench" --register 40001 >"$work/mb.csv"
"$bin/xav-bench-modules" add 127.0.0.11 --name "PRESS-1" --config "$work/pccc.csv"
"$bin/xav-bench-modules" add 127.0.0.12 --name "PACKING" --config "$work/cip.csv"
"$bin/xav-bench-modules" add 127.0.0.13 --name "BENCH-RVSIM" --config "$work/mb.csv"
"$bin/xav-bench-modules" add 127.0.0.14 --name "NEW-XAV"
rm -f "$work"/pccc.csv "$work"/cip.csv "$work"/mb.csv

cat <<TEXT

XAVE demo
  working directory: $work
  module store:      $XDG_CONFIG_HOME/xav/bench/modules
Pick a module in the list to read its configuration back, change it and
press "Save CFG to XAV"; or press "Change IP Address" and give the module
another 127.0.0.x address: it reappears under it after the re-scan.
In another terminal, with XDG_CONFIG_HOME=$XDG_CONFIG_HOME:
  $bin/xav-bench-modules list | add 127.0.0.15 | remove 127.0.0.14
and watch the list follow within a second.

TEXT
cd "$work"
run_gui "$bin/XAVE"
echo "Modules as XAVE left them:"
"$bin/xav-bench-modules" list
