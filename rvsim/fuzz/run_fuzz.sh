#!/usr/bin/env bash
# Builds RVSIM's frame fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in its own build dir and runs it:
#   rvsim/fuzz/run_fuzz.sh [SECONDS]      (default 60)
# The gcc build is not touched. Needs clang; says so and stops without it.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-60}"
if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: the fuzz target needs clang's libFuzzer (apt-get install clang)." >&2
  exit 2
fi
dir="build-fuzz"
CC=clang CXX=clang++ cmake -S . -B "$dir" -DXAV_FUZZ=ON -DXAV_SANITIZE=ON -DXAV_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j2 --target rvsim_frame_fuzzer

corpus="$dir/rvsim-corpus"
mkdir -p "$corpus"
# Seeds: a read, and a write of 20 registers, as the gateway sends them.
printf '\x00\x00\x01\x00\x00\x00\x06\x01\x03\x00\x14\x00\x14' > "$corpus/read"
{ printf '\x00\x00\x01\x00\x00\x00\x2f\x01\x10\x00\x00\x00\x14\x28'; for i in $(seq 1 20); do printf '\x00\x05'; done; } > "$corpus/write"

export ASAN_OPTIONS="detect_leaks=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
"$dir/bin/rvsim_frame_fuzzer" -max_total_time="$seconds" -print_final_stats=1 "$corpus"
echo "Fuzzing RVSIM's frame handling for ${seconds}s found no fault."
