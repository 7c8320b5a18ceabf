#!/usr/bin/env bash
# Installs what the build, the tests, the demo and the package need on a
# Debian machine.
# Only missing packages are installed; run as root or with sudo available.
set -euo pipefail

PKGS=(
  build-essential cmake ninja-build lld pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libqt6network6
  libgl-dev libxkbcommon-dev
  libgtest-dev googletest libmodbus-dev
  xvfb xauth fonts-dejavu-core
  # the Xvfb check (scripts/xvfb-check.sh): window geometry and key presses
  x11-utils xdotool
  iputils-ping iproute2 procps
  python3
  # build speed (ccache) and the loaded test runs (scripts/stress-tests.sh)
  ccache stress-ng
  # the fuzz targets (libFuzzer): scripts/fuzz.sh and the test command
  clang
  # packaging (scripts/package.sh) and its checks, the Windows syntax check
  dpkg-dev lintian desktop-file-utils help2man libcap2-bin file
  g++-mingw-w64-x86-64-posix
)

missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
