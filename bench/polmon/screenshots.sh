#!/usr/bin/env bash
# Makes docs/screenshots/tvr_polmon.png, tvr_polmon_statistics.png and
# tvr_polmon_timeline.png on the offscreen platform, against a simulated network like the demo's: seven
# drives, one stuck (Reset offered), one reporting another letter, one that
# now and then answers with four bytes and one that now and then stays silent.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${XAV_BUILD:-$root/build}"
bin="$build/bin"
cmake --build "$build" --target tvr-drive-sim polmon-bench >/dev/null
work="$(mktemp -d)"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config"
"$bin/tvr-drive-sim" --com 9 --drives A,B,C,D,F,K,T --ducts 12,B=8,C=24,D=5,F=16 \
  --position 3,B=1,C=9,F=9,K=7 --fault T=stuck --fault K=status=E --fault D=long:25 --fault F=silent:30 --fault B=late=70:40 --fault C=stray=3:60 \
  --report /dev/null >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do
  grep -q '^ready' "$work/sim.out" 2>/dev/null && break
  sleep 0.05
done
mkdir -p "$root/docs/screenshots"
cd "$work"
QT_QPA_PLATFORM=offscreen "$bin/polmon-bench" --com 9 --cycles 600 --drives 7 \
  --screenshot "$root/docs/screenshots/tvr_polmon.png" \
  --statistics-screenshot "$root/docs/screenshots/tvr_polmon_statistics.png" \
  --timeline-screenshot "$root/docs/screenshots/tvr_polmon_timeline.png" >/dev/null
echo "wrote docs/screenshots/tvr_polmon.png, tvr_polmon_statistics.png and tvr_polmon_timeline.png"
