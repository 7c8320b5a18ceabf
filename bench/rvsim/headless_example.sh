#!/usr/bin/env bash
# A worked example of RVSIM's headless mode driven by a script, against the
# simulated gateway, on 127.0.0.1 only:
#   bench/rvsim/headless_example.sh [BUILD_DIR]      (default: build)
# RVSIM runs as a coprocess: the script writes commands to its standard
# input and reads one JSON object a line from its standard output. It asks
# drive C to go to duct 30, names the row, waits until the gateway's
# position events show drive C there, prints the traffic counters and quits.
# Ends with status 0 when all of that happened within 60 s.
set -euo pipefail
build="${1:-build}"
bin="$build/bin"
for p in RVSIM xav-gateway-sim; do
  [ -x "$bin/$p" ] || { echo "$bin/$p is missing: build first." >&2; exit 1; }
done
work=$(mktemp -d)
export XDG_CONFIG_HOME="$work"   # the captions file of this run
gateway_pid=""
cleanup() {
  if [ -n "$gateway_pid" ]; then kill "$gateway_pid" 2>/dev/null || true; wait "$gateway_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
deadline=$((SECONDS + 60))

# Port 0: the system picks a free port; the first line says which.
coproc RV { exec "$bin/RVSIM" --headless --port 0; }
rvsim_pid=$RV_PID
# Own copies of the pipes: bash drops RV once the program has ended.
exec {from_rvsim}<&"${RV[0]}" {to_rvsim}>&"${RV[1]}"

send() { echo "> $1"; echo "$1" >&"$to_rvsim"; }

# Reads lines until one matches the glob pattern, and prints that line. The
# objects are compact, keys in alphabetical order, so plain patterns serve;
# a real rig might use jq.
await() {
  local line
  while [ $SECONDS -lt $deadline ] && read -r -t 10 line <&"$from_rvsim"; do
    # shellcheck disable=SC2053
    if [[ $line == $1 ]]; then echo "$line"; return 0; fi
  done
  echo "gave up waiting for a line like $1" >&2
  return 1
}

listening=$(await '{"event":"listening",*')
port=$(sed 's/.*"port":\([0-9]*\).*/\1/' <<<"$listening")
echo "RVSIM serves port $port"

"$bin/xav-gateway-sim" --host 127.0.0.1 --port "$port" --interval 100 --speed 2 >/dev/null &
gateway_pid=$!
echo "< $(await '{"event":"connected",*')"

send "set C 30"
echo "< $(await '*"reply":"set"*')"
send "caption C Silo 3 feeder"
echo "< $(await '*"reply":"caption"*')"

# The gateway walks drive C two ducts a scan; every write is a position event.
echo "< $(await '{"event":"positions",*"positions":\[*,*,30,*')"

send "stats"
stats=$(await '*"reply":"stats"*')
echo "< $stats"
send "quit"
await '{"reply":"quit"}' >/dev/null
wait "$rvsim_pid" || true
writes=$(sed 's/.*"16":\([0-9]*\).*/\1/' <<<"$stats")
echo "Drive C reached duct 30; RVSIM answered $writes writes of the gateway."
