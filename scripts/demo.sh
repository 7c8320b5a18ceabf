#!/usr/bin/env bash
# Installs what is missing, builds, and starts a bench demo:
#   scripts/demo.sh [NAME]    NAME is one of the scripts in scripts/demo/
# Without a display the windows run under Xvfb when it is installed, else on
# Qt's offscreen platform (nothing visible; the demo says so).
set -euo pipefail
cd "$(dirname "$0")/.."
name="${1:-default}"
shift || true
bash scripts/setup.sh
bash scripts/build.sh build
export XAV_BUILD="$PWD/build"
if [ ! -f "scripts/demo/$name.sh" ]; then
  echo "No demo named '$name'. Demos:" $(ls scripts/demo | sed 's/\.sh$//')
  exit 2
fi
exec bash "scripts/demo/$name.sh" "$@"
