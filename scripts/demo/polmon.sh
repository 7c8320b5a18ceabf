#!/usr/bin/env bash
# TVR_Polmon against a simulated drive network: six drives on a
# pseudo-terminal that the scanner opens as "COM 5".
#   A, B, C, D, F: standing drives with 12, 8, 24, 5 and 16 ducts
#   D now and then answers with four bytes (counted and logged as a fault)
#   T: stuck moving at duct 0, so its row offers "Reset"
# In the window pick "COM 5", press Scan, then try a request (type a duct
# number and Enter), a row button (random exercise) and Reset on row T.
# The fault log Polmon.dbg is written in the demo folder shown below.
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/demo/lib.sh
build="${XAV_BUILD:-$PWD/build}"
if [ ! -x "$build/bin/TVR_Polmon" ] || [ ! -x "$build/bin/tvr-drive-sim" ]; then
  cmake -S . -B "$build" >/dev/null
  cmake --build "$build" -j"$(nproc)" --target TVR_Polmon tvr-drive-sim >/dev/null
fi

work="$(mktemp -d)"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work/config"
}
trap cleanup EXIT
# The port link lives in a private config folder, so nothing is left behind.
export XDG_CONFIG_HOME="$work/config"

"$build/bin/tvr-drive-sim" --com 5 --drives A,B,C,D,F,T --ducts 12,B=8,C=24,D=5,F=16,T=10 \
  --position 3,B=1,C=20,F=9 --move-ms 400 --turnaround-ms 1 \
  --fault D=long:25 --fault T=stuck --report "$work/drive-network.txt" >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do
  grep -q '^ready' "$work/sim.out" 2>/dev/null && break
  sleep 0.05
done
grep '^ready' "$work/sim.out" || { echo "The drive simulator did not start." >&2; exit 1; }

echo "Drive network: A B C D F T on COM 5. Choose \"COM 5\" and press Scan."
echo "Fault log: $work/Polmon.dbg   Frames the drives received: $work/drive-network.txt"
cd "$work"
run_gui "$build/bin/TVR_Polmon"
