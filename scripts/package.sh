#!/usr/bin/env bash
# Builds the Debian package build-pkg/xav-tools_<version>_amd64.deb:
#   bash scripts/package.sh [--no-setup]
# A Release build (no sanitizers, no tests) of the installed programs only,
# with Debian's hardening flags, installed under /usr. build-pkg/ is kept, so
# a second run rebuilds only what changed. --no-setup skips the check for
# missing Debian packages (scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${1:-}" = --no-setup ] || bash scripts/setup.sh
dir=build-pkg

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Debian's flags without -g: the package's programs are stripped anyway.
cxxflags="$(dpkg-buildflags --get CXXFLAGS | sed 's/\(^\| \)-g\( \|$\)/ /') $(dpkg-buildflags --get CPPFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
options=(
  -DCMAKE_BUILD_TYPE=Release -DXAV_SANITIZE=OFF -DXAV_BUILD_TESTS=OFF
  -DXAV_INSTALLED_ONLY=ON -DXAV_MAN_PAGES=ON -DCMAKE_INSTALL_PREFIX=/usr
  "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags"
)
if command -v ccache >/dev/null; then options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
. scripts/generator.sh
cmake -S . -B "$dir" "${options[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
(cd "$dir" && cpack -G DEB >/dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
deb="$dir/xav-tools_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "package.sh: $deb was not made" >&2; exit 1; }
echo "$deb"
