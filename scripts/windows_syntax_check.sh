#!/usr/bin/env bash
# Compiles every product source as for 64-bit Windows (MinGW-w64, C++20),
# syntax only, against the Qt headers installed here (Qt for Windows is not):
#   scripts/windows_syntax_check.sh [QT_HEADER_DIR [COMPILER FLAGS...]]
# Product sources are the .cpp files of the tool and library folders (every
# top-level folder with a CMakeLists.txt but bench/), without tests/,
# testing/, fuzz/ and the POSIX twins (*_posix.cpp). Every folder of theirs
# that holds headers is on the include path, as in the build, so a header
# that hides a system header shows up too. Warnings count as errors. The
# flags given after the header folder (the definitions the build passes, such
# as the version) go to every compile.
set -euo pipefail
cd "$(dirname "$0")/.."
qt="${1:-/usr/include/x86_64-linux-gnu/qt6}"
shift || true
cxx="${MINGW_CXX:-x86_64-w64-mingw32-g++}"
if ! command -v "$cxx" >/dev/null; then
  echo "$cxx not found (bash scripts/setup.sh installs g++-mingw-w64-x86-64-posix)" >&2
  exit 1
fi
[ -f "$qt/QtCore/qglobal.h" ] || { echo "no Qt headers in $qt" >&2; exit 1; }

dirs=()
for d in */; do
  d="${d%/}"
  [ -f "$d/CMakeLists.txt" ] && [ "$d" != bench ] && dirs+=("$d")
done
prune=(-name tests -o -name testing -o -name fuzz -o -name 'build*')
mapfile -t sources < <(find "${dirs[@]}" \( -type d \( "${prune[@]}" \) -prune \) -o \
  -type f -name '*.cpp' ! -name '*_posix.cpp' -print | sort)
# Test-support libraries are no product sources, but product code may still
# include their headers while it moves off them.
include_prune=(-name tests -o -name fuzz -o -name 'build*')
mapfile -t includes < <(find "${dirs[@]}" \( -type d \( "${include_prune[@]}" \) -prune \) -o \
  -type f -name '*.h' -printf '%h\n' | sort -u)
[ ${#sources[@]} -gt 0 ] || { echo "no product sources found" >&2; exit 1; }

flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Werror
  -DUNICODE -D_UNICODE -DWIN32 -DMINGW_HAS_SECURE_API=1)
for m in "" QtCore QtGui QtWidgets QtNetwork QtSerialPort; do flags+=(-isystem "$qt${m:+/$m}"); done
for i in "${includes[@]}"; do flags+=(-I "$i"); done
flags+=("$@")

# The Qt and standard headers are parsed once, into a precompiled header
# made with the same flags; each source then includes it first. A missing
# include of a Qt header is caught by the Linux builds, not here.
pchdir=$(mktemp -d)
trap 'rm -rf "$pchdir"' EXIT
{
  # Qt's Windows headers bring in windows.h; winsock2.h must come before it.
  echo "#include <winsock2.h>"
  for h in QtCore QtGui QtWidgets QtNetwork QtSerialPort; do echo "#include <$h/$h>"; done
  for h in algorithm functional memory optional string utility vector; do echo "#include <$h>"; done
} >"$pchdir/all.h"
pchflags=()
for f in "${flags[@]}"; do [ "$f" = -fsyntax-only ] || pchflags+=("$f"); done
if "$cxx" "${pchflags[@]}" -x c++-header "$pchdir/all.h" -o "$pchdir/all.h.gch" 2>"$pchdir/pch.log"; then
  flags+=(-include "$pchdir/all.h" -Winvalid-pch)
else
  echo "no precompiled header (each source parses the headers itself):" >&2
  head -20 "$pchdir/pch.log" >&2
fi

export cxx
check() {
  local out
  if out=$("$cxx" "${@:2}" "$1" 2>&1); then echo "ok      $1"; else echo "FAILED  $1"; echo "$out" | head -40; return 1; fi
}
export -f check
status=0
# At the lowest priority: the other tests, some with timing bounds, run beside it.
printf '%s\n' "${sources[@]}" | nice -n 19 xargs -P "$(nproc)" -I{} bash -c 'check "$@"' _ {} "${flags[@]}" || status=1
echo "${#sources[@]} product sources checked for Windows (MinGW-w64 $("$cxx" -dumpversion))"
exit $status
