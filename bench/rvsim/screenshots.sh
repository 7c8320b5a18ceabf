#!/usr/bin/env bash
# Makes docs/screenshots/rvsim.png and rvsim_traffic.png on the offscreen
# platform: RVSIM's window with the simulated gateway connected on loopback,
# requests and captions set, the monitor on.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${XAV_BUILD:-$root/build}"
bin="$build/bin"
cmake --build "$build" --target xav-rvsim-host xav-gateway-sim >/dev/null
work="$(mktemp -d)"
gateway_pid=""
cleanup() {
  if [ -n "$gateway_pid" ]; then kill "$gateway_pid" 2>/dev/null || true; wait "$gateway_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
# A free port on loopback for this run (502 needs root).
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# The gateway keeps trying until the window listens.
"$bin/xav-gateway-sim" --host 127.0.0.1 --port "$port" --speed 1 >"$work/gateway.log" 2>&1 &
gateway_pid=$!
mkdir -p "$root/docs/screenshots"
cd "$work"
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$bin/xav-rvsim-host" "$port" --monitor \
  --requests 5,12,0,20,7,0,0,3,0,0,0,0,0,0,0,0,0,0,0,15 \
  --captions "Silo 1,Silo 2,Bagging,Mixer,Press 4,,,Kiln" \
  --screenshot "$root/docs/screenshots/rvsim.png" \
  --traffic-screenshot "$root/docs/screenshots/rvsim_traffic.png" --after 3000
echo "wrote docs/screenshots/rvsim.png and rvsim_traffic.png"
