#!/usr/bin/env bash
# Remakes every screenshot of the README in docs/screenshots/ (offscreen,
# against the bench stand-ins on loopback), and one picture of each tool
# under a dark desktop palette (NAME_dark.png) and one at 150 % scale
# (NAME_scale150.png).
#   scripts/screenshots.sh          (XAV_BUILD: the build folder, default build/)
# Each tool's pictures come from its own bench script or program; this runs
# them all, once per appearance.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${XAV_BUILD:-$root/build}"
export XAV_BUILD="$build"
# The dark palette is a preloaded plugin, which a sanitized program refuses.
if grep -q '^XAV_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  echo "screenshots: $build is a sanitized build; use an unsanitized one, e.g." >&2
  echo "  cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release && XAV_BUILD=build-rel scripts/screenshots.sh" >&2
  exit 2
fi
shots="$root/docs/screenshots"
# A 1366x768 screen, the small laptop screen the windows must fit (at 150 %
# it is about 910x512 logical pixels), instead of the offscreen default.
screen_cfg="$(mktemp)"
trap 'rm -f "$screen_cfg"' EXIT
echo '{"screens": [{"name": "shots", "x": 0, "y": 0, "width": 1366, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]}' >"$screen_cfg"
export QT_QPA_PLATFORM="offscreen:configfile=$screen_cfg"
cmake --build "$build" --target xavcfg-screenshots xav-dark-palette >/dev/null
dark="$build/lib/xav-dark-palette.so"
[ -f "$dark" ] || { echo "screenshots: $dark is missing" >&2; exit 1; }
mkdir -p "$shots"

# Every tool's pictures, in the appearance the environment gives.
all_tools() {
  "$build/bin/xavcfg-screenshots" "$shots" >/dev/null
  echo "wrote docs/screenshots/xav_cfg_start.png, xav_cfg_serial.png and xav_cfg_ethernet.png"
  bash "$root/bench/xave/screenshots.sh"
  bash "$root/bench/polmon/screenshots.sh"
  bash "$root/bench/rvsim/screenshots.sh"
}

# The one picture of each tool kept from an appearance.
kept=(xav_cfg_serial xave tvr_polmon rvsim)

# variant SUFFIX: every tool in the current appearance; the kept pictures
# move to NAME_SUFFIX.png (the plain ones are made last, after this).
variant() {
  all_tools
  for name in "${kept[@]}"; do mv "$shots/$name.png" "$shots/${name}_$1.png"; done
}

echo "== dark palette"
(export LD_PRELOAD="$dark"; variant dark)
echo "== scale 1.5"
(export QT_SCALE_FACTOR=1.5; variant scale150)
echo "== default appearance"
all_tools
