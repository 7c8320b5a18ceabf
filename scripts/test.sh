#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs every test through CTest, the fuzz
# targets' short runs among them (in this build; the libFuzzer build is
# scripts/fuzz_tests.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DXAV_SANITIZE=ON -DXAV_BUILD_TESTS=ON
cd build
# Programs the tests start (bench stand-ins) are sanitized too: same leak
# suppressions for them.
export LSAN_OPTIONS="suppressions=$PWD/../scripts/lsan.supp:print_suppressions=0"
# Most tests wait on timers and processes more than they compute: three
# slots per core (from a clean clone the command took 464 s with them, 479 s
# with one per core). The package build (at nice 10) and the Windows syntax
# check (at 19) run in two slots more and take the CPU the others leave
# idle, the package first.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(( 3 * $(nproc) + 2 ))" --timeout 300
