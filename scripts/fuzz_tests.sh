#!/usr/bin/env bash
# The fuzz targets' short runs (each over its seeds, a fixed number of
# iterations) for the test command: built with clang in build-fuzz/, apart
# from the gcc build. Without clang they are skipped, and this says so.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "SKIPPED: fuzz targets (clang/clang++ not installed; bash scripts/setup.sh installs clang)."
  exit 0
fi
bash scripts/fuzz_build.sh build-fuzz
ctest --test-dir build-fuzz/fuzz -L fuzz --output-on-failure -j"$(nproc)" --timeout 300
