#!/usr/bin/env bash
# Builds the fuzz targets (libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer) with clang in their own build dir, apart from
# the gcc build: scripts/fuzz_build.sh [BUILD_DIR]   (default build-fuzz)
# Exits 3, saying so, when clang++ is not installed.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-fuzz}"
if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "clang/clang++ not found: the fuzz targets need clang's libFuzzer (bash scripts/setup.sh installs it)." >&2
  exit 3
fi
. scripts/generator.sh
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXAV_FUZZ=ON -DXAV_SANITIZE=ON \
  -DXAV_BUILD_TESTS=OFF -DXAV_MAN_PAGES=OFF "${launcher[@]}" >/dev/null
cmake --build "$dir" --target fuzzers -j"$(nproc)"
