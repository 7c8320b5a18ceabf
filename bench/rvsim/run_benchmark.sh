#!/usr/bin/env bash
# Latency of RVSIM against libmodbus's own server, on 127.0.0.1 only:
#   bench/rvsim/run_benchmark.sh [PAIRS]     (default 45000 measured write+read pairs)
# One client (xav-modbus-latency) sends the gateway's write of 20 registers
# and read of 20 registers back to back, first to the libmodbus reference
# server (modbus_receive + modbus_reply), then to RVSIM's own window and
# server (offscreen). Prints median and p99 of a pair, their ratio, the pairs
# per second, and RVSIM's peak memory after 10,000 and after 100,000 frames.
set -euo pipefail
cd "$(dirname "$0")/../.."
pairs="${1:-45000}"
dir="build-bench"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DXAV_SANITIZE=OFF -DXAV_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j2 --target xav-rvsim-host xav-modbus-reference xav-modbus-latency >/dev/null
bin="$dir/bin"

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'; }
listening() { ss -ltnH "sport = :$1" | grep -q .; }
wait_listening() {
  for _ in $(seq 1 100); do listening "$1" && return 0; sleep 0.1; done
  echo "nothing listens on port $1" >&2; return 1
}
kb() { awk -v k="$1" '$1==k":" {print $2}' "/proc/$2/status"; }

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "${cfg:-}"; }
trap cleanup EXIT

ref_port=$(free_port)
"$bin/xav-modbus-reference" "$ref_port" >/dev/null &
pids+=($!)
wait_listening "$ref_port"

rv_port=$(free_port)
cfg=$(mktemp -d)
XDG_CONFIG_HOME="$cfg" QT_QPA_PLATFORM=offscreen "$bin/xav-rvsim-host" "$rv_port" 2>/dev/null &
rv_pid=$!
pids+=($rv_pid)
wait_listening "$rv_port"

echo "libmodbus reference, $pairs pairs..."
ref=$("$bin/xav-modbus-latency" "$ref_port" "$pairs" 1000)

# 5,000 pairs (10,000 frames) to warm up, then the measured run: 100,000
# frames in all with the default count. RVSIM re-arms after each client
# leaves (within 2 s).
"$bin/xav-modbus-latency" "$rv_port" 4000 1000 >/dev/null
hwm_10k=$(kb VmHWM "$rv_pid")
sleep 0.5
wait_listening "$rv_port"
echo "RVSIM (offscreen window), $pairs pairs..."
rv=$("$bin/xav-modbus-latency" "$rv_port" "$pairs" 0)
hwm_100k=$(kb VmHWM "$rv_pid")
rss_end=$(kb VmRSS "$rv_pid")

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
ref_med=$(field median_us "$ref"); ref_p99=$(field p99_us "$ref"); ref_rate=$(field pairs_per_s "$ref")
rv_med=$(field median_us "$rv"); rv_p99=$(field p99_us "$rv"); rv_rate=$(field pairs_per_s "$rv")

echo
printf "%-28s %12s %12s %14s\n" "server (write+read pair)" "median us" "p99 us" "pairs/s"
printf "%-28s %12s %12s %14s\n" "libmodbus reference" "$ref_med" "$ref_p99" "$ref_rate"
printf "%-28s %12s %12s %14s\n" "RVSIM, window offscreen" "$rv_med" "$rv_p99" "$rv_rate"
awk -v a="$rv_med" -v b="$ref_med" 'BEGIN { printf "median ratio RVSIM / reference: %.2f (goal: at most 1.5)\n", a / b }'
awk -v p="$rv_p99" 'BEGIN { printf "RVSIM p99: %.0f us (goal: under 1000 us)\n", p }'
awk -v r="$rv_rate" 'BEGIN { printf "RVSIM pairs per second: %.0f (goal: at least 3000)\n", r }'
echo "RVSIM peak memory (VmHWM): ${hwm_10k} kB after 10,000 frames, ${hwm_100k} kB after $((10000 + 2 * pairs)) frames; VmRSS at the end ${rss_end} kB"
