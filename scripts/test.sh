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
# The package build and the Windows syntax check run at the lowest priority
# and take most of the CPU the other tests leave idle (those mostly wait on
# timers and processes): two slots more than cores, so the other tests are
# not held back behind them.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(( $(nproc) + 2 ))" --timeout 300
