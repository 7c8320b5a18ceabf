#!/usr/bin/env bash
# RVSIM with the simulated gateway connected, on this machine only:
#   scripts/demo.sh rvsim
# RVSIM listens on TCP port 502 (all local addresses); the simulated gateway
# connects to 127.0.0.1:502, writes its 20 drive positions every 0.5 s and
# reads the 20 requests. Type a request (0 to 254, Enter) in the REQ column
# and watch the drive's position walk there. Port 502 needs root, or once:
#   sudo setcap cap_net_bind_service=+ep "$XAV_BUILD/bin/RVSIM"
# Without a display the window is not visible; the demo then runs for
# DEMO_SECONDS (default 20) and shows what the gateway saw.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
build="${XAV_BUILD:-$here/../../build}"
bin="$build/bin"
for p in RVSIM xav-gateway-sim; do
  if [ ! -x "$bin/$p" ]; then echo "$bin/$p is missing: build first (scripts/build.sh)." >&2; exit 1; fi
done
if ss -ltnH "sport = :502" | grep -q .; then
  echo "Port 502 is already in use on this machine; stop that server first." >&2
  exit 1
fi

log=$(mktemp)
gateway_pid=""
cleanup() {
  if [ -n "$gateway_pid" ]; then kill "$gateway_pid" 2>/dev/null || true; wait "$gateway_pid" 2>/dev/null || true; fi
  rm -f "$log"
}
trap cleanup EXIT

# The gateway keeps trying until RVSIM listens, and reconnects after a drop.
"$bin/xav-gateway-sim" --host 127.0.0.1 --port 502 --verbose >"$log" 2>&1 &
gateway_pid=$!

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "RVSIM is starting with the simulated gateway connected; close its window (Exit) to end the demo."
  run_gui "$bin/RVSIM"
else
  seconds="${DEMO_SECONDS:-20}"
  echo "No display: RVSIM runs for ${seconds}s without a visible window; the gateway's view follows."
  run_gui timeout "$seconds" "$bin/RVSIM" || true
  echo "--- simulated gateway (last lines) ---"
  tail -n 5 "$log"
fi
