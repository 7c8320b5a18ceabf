#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, runs the fuzz targets' short runs (built with
# clang apart; skipped without clang), then every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DXAV_SANITIZE=ON -DXAV_BUILD_TESTS=ON
bash scripts/fuzz_tests.sh
cd build
# Programs the tests start (bench stand-ins) are sanitized too: same leak
# suppressions for them.
export LSAN_OPTIONS="suppressions=$PWD/../scripts/lsan.supp:print_suppressions=0"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 300
