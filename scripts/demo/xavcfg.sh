#!/usr/bin/env bash
# XAV_Cfg on the bench: a simulated serial XAV module on a pseudo-terminal
# linked as COM 1, and two simulated Ethernet modules (127.0.0.21 and
# 127.0.0.22) in the bench module store, found through stand-ins for ping
# and the neighbour table. Nothing leaves the machine: every address is on
# loopback and the broadcast ping is answered by the stand-in without a
# packet. Pick "Serial Configuration" or "Ethernet Configuration" in the
# start dialog. Everything started here is stopped on exit.
#   scripts/demo.sh xavcfg [--serial-options "..."]   e.g. "--answer-attempt 3"
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
source "$here/lib.sh"
bin="${XAV_BUILD:-$root/build}/bin"
sim_options="--settings 5000200109600012"
if [ "${1:-}" = "--serial-options" ]; then sim_options="$2"; fi

for p in XAV_Cfg xav-module-sim ruinet.exe xav-bench-modules; do
  [ -x "$bin/$p" ] || { echo "missing $bin/$p: build first (scripts/build.sh)"; exit 1; }
done

demo="$(mktemp -d /tmp/xavcfg-demo.XXXXXX)"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$demo"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A private config folder (port links, module store) and working directory.
export XDG_CONFIG_HOME="$demo/config"
mkdir -p "$demo/work"
cp "$bin/ruinet.exe" "$demo/work/"
export PATH="$root/bench/xavcfg/fakebin:$root/bench/xave/fakebin:$PATH"

"$bin/xav-bench-modules" add 127.0.0.21 --name PRESS4 >/dev/null
"$bin/xav-bench-modules" add 127.0.0.22 --name KILN2 >/dev/null
echo "Simulated Ethernet modules:"
"$bin/xav-bench-modules" list

# shellcheck disable=SC2086
"$bin/xav-module-sim" --com 1 $sim_options > "$demo/module-sim.log" &
sim_pid=$!
for _ in $(seq 50); do grep -q READY "$demo/module-sim.log" 2>/dev/null && break; sleep 0.1; done
echo "Simulated serial module on COM 1 (its log: what it received)."

cd "$demo/work"
run_gui "$bin/XAV_Cfg" || true
echo "--- the serial module saw:"
cat "$demo/module-sim.log"
