#!/usr/bin/env bash
# Configures and builds the project: scripts/build.sh [BUILD_DIR] [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
shift || true
. scripts/generator.sh
cmake -S . -B "$dir" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
