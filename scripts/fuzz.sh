#!/usr/bin/env bash
# Runs every fuzz target for a long fixed number of iterations, one after
# the other: scripts/fuzz.sh [ITERATIONS] [TARGET...]
#   ITERATIONS  default 1000000; TARGET e.g. drive_reply (default: all)
# Builds them first (scripts/fuzz_build.sh, build dir build-fuzz/). Inputs
# that add coverage are kept in build-fuzz/fuzz-corpus/TARGET (the committed
# seeds in fuzz/corpus/ are only read); a finding is written to
# build-fuzz/findings/TARGET/ and stops the script with status 1.
# XAV_FUZZ_JOBS=N runs a target in N processes at once (libFuzzer's fork
# mode; the iterations are shared among them).
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-1000000}"
shift || true
dir=build-fuzz
jobs="${XAV_FUZZ_JOBS:-1}"
fork=()
if [ "$jobs" -gt 1 ]; then fork=(-fork="$jobs"); fi
bash scripts/fuzz_build.sh "$dir"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*_fuzzer.cpp; do t="$(basename "$f" .cpp)"; targets+=("${t%_fuzzer}"); done
fi

export QT_QPA_PLATFORM=offscreen
# A small quarantine keeps the memory of a long run flat.
export ASAN_OPTIONS="detect_leaks=1:quarantine_size_mb=64"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for t in "${targets[@]}"; do
  corpus="$dir/fuzz-corpus/$t"
  findings="$dir/findings/$t/"
  log="$dir/findings/$t.log"
  mkdir -p "$corpus" "$findings"
  # A target may name options of its own (fuzz/TARGET.options, one line).
  extra=()
  if [ -f "fuzz/$t.options" ]; then read -r -a extra <"fuzz/$t.options"; fi
  start=$(date +%s)
  if "$dir/bin/${t}_fuzzer" "${fork[@]}" "${extra[@]}" -runs="$runs" -timeout=20 -print_final_stats=1 -artifact_prefix="$findings" \
       "$corpus" "fuzz/corpus/$t" >"$log" 2>&1; then
    result="no finding"
  else
    result="FINDING (see $log and $findings)"
    status=1
  fi
  secs=$(( $(date +%s) - start ))
  executed="$(sed -nE 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  # Fork mode prints no final stats: its last progress line has the count.
  [ -n "$executed" ] || executed="$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#')"
  corp="$(find "$corpus" -type f | wc -l) files, $(du -sk "$corpus" | cut -f1) KB"
  printf '%-18s %10s iterations  %5ss  corpus %-18s %s\n' "$t" "${executed:-?}" "$secs" "${corp:-?}" "$result"
  [ $status -eq 0 ] || break
done
exit $status
