#!/usr/bin/env bash
# Configuration spine on the bench: two simulated modules, discovery, a
# generated Config.csv uploaded to one module and fetched back unchanged.
# Everything happens in temporary folders; nothing but loopback is touched.
set -euo pipefail
bin="${XAV_BUILD:-$(cd "$(dirname "$0")/../.." && pwd)/build}/bin"
for p in ruinet.exe ruiping.exe xav-bench-modules xav-configgen; do
  [ -x "$bin/$p" ] || { echo "missing $bin/$p: build first (scripts/build.sh)"; exit 1; }
done

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME="$scratch/config"
work="$scratch/work dir"
mkdir -p "$work"
# The tools expect the utilities in their working directory.
cp "$bin/ruinet.exe" "$bin/ruiping.exe" "$work/"
cd "$work"

step() { printf '\n== %s\n' "$*"; }

step "Two simulated modules in $("$bin/xav-bench-modules" path)"
"$bin/xav-bench-modules" add 127.0.0.2 --name "PRESS LINE"
"$bin/xav-bench-modules" add 127.0.0.3 --name "PACKING"

step "Discovery: ruiping.exe -r0"
./ruiping.exe -r0 | tr -d '\r'

if command -v ping >/dev/null 2>&1; then
  step "The module at 127.0.0.2 answers a ping (loopback)"
  ping -c 1 -W 1 127.0.0.2 | tail -2 || true
fi

step "Generate a Modbus/TCP Config.csv for a PLC at 127.0.0.1"
"$bin/xav-configgen" --protocol 3 --plc 127.0.0.1 --title "Demo line" --register 40001 > Config.csv
head -4 Config.csv | tr -d '\r'
echo "... $(wc -c < Config.csv) bytes"
cp Config.csv generated.csv

step "A refused save: PCCC with file number 300"
"$bin/xav-configgen" --protocol 1 --plc 127.0.0.1 --file 300 2>&1 || echo "(exit status $?)"

step "Upload to 127.0.0.2 and restart it"
./ruinet.exe -i127.0.0.2 -u0 -fConfig.csv -p -o
./ruinet.exe -i127.0.0.2 -p -b
rm Config.csv

step "Fetch it back"
./ruinet.exe -i 127.0.0.2 -u1 -fConfig.csv
if cmp -s Config.csv generated.csv; then
  echo "The fetched Config.csv is byte-identical to the one uploaded."
else
  echo "The fetched Config.csv differs from the one uploaded!"
  exit 1
fi

step "Module store"
"$bin/xav-bench-modules" list
