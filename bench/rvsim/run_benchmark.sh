#!/usr/bin/env bash
# RVSIM against libmodbus's own server, on 127.0.0.1 only:
#   bench/rvsim/run_benchmark.sh [--rounds R] [--pairs N] [--memory-pairs M] [--cpu C]
# Builds a Release copy (build-bench/) of the real RVSIM program and of the
# libmodbus reference server and latency client, then:
# 1. Latency: the client and the three servers (libmodbus reference, RVSIM
#    --headless, RVSIM's window on Qt's offscreen platform) all run pinned to
#    one CPU (taskset), so no cross-CPU wake-up hides a server's own cost.
#    The client sends R rounds (default 30) of N write+read pairs (default
#    1000) to each server in turn, the order turning each round; a server's
#    ratio is the median over the rounds of its round median divided by the
#    reference's in the same round.
# 2. Memory: RVSIM's window with the Traffic window open (the traffic log on)
#    serves M pairs (default 1,000,000; 0 skips it), pinned the same way; its
#    resident memory is read after 10,000, 100,000 and M pairs.
set -euo pipefail
cd "$(dirname "$0")/../.."
rounds=30 pairs=1000 memory_pairs=1000000 cpu=$(( $(nproc) - 1 ))
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds="$2"; shift 2 ;;
    --pairs) pairs="$2"; shift 2 ;;
    --memory-pairs) memory_pairs="$2"; shift 2 ;;
    --cpu) cpu="$2"; shift 2 ;;
    *) echo "usage: $0 [--rounds R] [--pairs N] [--memory-pairs M] [--cpu C]" >&2; exit 2 ;;
  esac
done
dir="build-bench"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DXAV_SANITIZE=OFF -DXAV_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$dir" -j2 --target RVSIM xav-modbus-reference xav-modbus-latency >/dev/null
bin="$dir/bin"
pin=(taskset -c "$cpu")

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'; }
listening() { ss -ltnH "sport = :$1" | grep -q .; }
wait_listening() {
  for _ in $(seq 1 100); do listening "$1" && return 0; sleep 0.1; done
  echo "nothing listens on port $1" >&2; return 1
}
kb() { awk -v k="$1" '$1==k":" {print $2}' "/proc/$2/status"; }
field() { sed -n "s/.* $1=\([0-9.]*\).*/\1/p" <<<" $2"; }

tmp=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$tmp/config"

ref_port=$(free_port); head_port=$(free_port); win_port=$(free_port)
"${pin[@]}" "$bin/xav-modbus-reference" "$ref_port" >/dev/null &
pids+=($!)
# The headless mode ends with its input: a pipe held open by this script.
mkfifo "$tmp/commands"
exec 7<>"$tmp/commands"
"${pin[@]}" "$bin/RVSIM" --headless --port "$head_port" <&7 >/dev/null &
pids+=($!)
QT_QPA_PLATFORM=offscreen "${pin[@]}" "$bin/RVSIM" --port "$win_port" >/dev/null 2>&1 &
pids+=($!)
for p in "$ref_port" "$head_port" "$win_port"; do wait_listening "$p"; done

echo "RVSIM against the libmodbus reference on 127.0.0.1: client and servers pinned to CPU $cpu,"
echo "$rounds alternating rounds of $pairs write+read pairs per server (load average: $(cut -d' ' -f1-3 /proc/loadavg))."
out=$("${pin[@]}" "$bin/xav-modbus-latency" --rounds "$rounds" --pairs "$pairs" \
  reference="$ref_port" headless="$head_port" window="$win_port")
echo
printf "%-28s %10s %10s %10s %8s %16s %8s\n" "server (write+read pair)" "median us" "p99 us" "pairs/s" "ratio" "ratio min-max" "goal"
while read -r line; do
  name=$(sed -n 's/^server=\([a-z]*\).*/\1/p' <<<"$line")
  case "$name" in
    reference) label="libmodbus reference"; goal="" ;;
    headless) label="RVSIM --headless"; goal="<= 1.15" ;;
    window) label="RVSIM window, offscreen"; goal="<= 1.30" ;;
  esac
  ratio=$(field ratio "$line"); [ -z "$ratio" ] && ratio="1"
  range=""; [ -n "$(field ratio_min "$line")" ] && range="$(field ratio_min "$line")-$(field ratio_max "$line")"
  printf "%-28s %10s %10s %10s %8s %16s %8s\n" "$label" "$(field median_us "$line")" "$(field p99_us "$line")" \
    "$(field pairs_per_s "$line")" "$ratio" "$range" "$goal"
done <<<"$out"
echo "p99 goal: under 1000 us."

if [ "$memory_pairs" -gt 0 ]; then
  mem_port=$(free_port)
  QT_QPA_PLATFORM=offscreen "${pin[@]}" "$bin/RVSIM" --port "$mem_port" --traffic >/dev/null 2>&1 &
  mem_pid=$!
  pids+=($mem_pid)
  wait_listening "$mem_port"
  echo
  echo "Memory of RVSIM's window with the Traffic window open, $memory_pairs pairs in rounds of 1000:"
  done_pairs=0
  for target in 10000 100000 "$memory_pairs"; do
    [ "$target" -gt "$memory_pairs" ] && continue
    [ "$target" -le "$done_pairs" ] && continue
    r=$(( (target - done_pairs) / 1000 ))
    m=$("${pin[@]}" "$bin/xav-modbus-latency" --rounds "$r" --pairs 1000 --warmup 0 window="$mem_port")
    done_pairs=$target
    printf "  after %9d pairs: VmRSS %7s kB, VmHWM %7s kB (these pairs: median %s us, p99 %s us)\n" "$done_pairs" \
      "$(kb VmRSS "$mem_pid")" "$(kb VmHWM "$mem_pid")" "$(field median_us "$m")" "$(field p99_us "$m")"
  done
fi
echo quit >&7
