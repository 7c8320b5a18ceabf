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
# With XAV_WINDOWS_CHECK_CACHE=DIR a source that passed is checked again only
# when it, or a project header it includes, is newer than its pass, or when
# the compiler or the flags changed (as make would judge it).
# Sources of one folder are checked XAV_WINDOWS_CHECK_BATCH (8) at a time in
# one joined unit, which reads the headers once for all of them; sources
# named in XAV_WINDOWS_CHECK_APART (paths from the top, spaces between) go
# alone. A joined unit that fails is checked again source by source, so a
# clash between two sources' own names never counts as a failure and every
# failure names its source.
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

cache="${XAV_WINDOWS_CHECK_CACHE:-}"
keydir=""
if [ -n "$cache" ]; then
  key=$( { "$cxx" --version; cat "$qt/QtCore/qconfig.h" "$qt/QtCore/qtcore-config.h" 2>/dev/null; printf '%s\n' "$qt" "${flags[@]}"; } | sha1sum | cut -c1-16)
  keydir="$cache/$key"
  mkdir -p "$keydir"
fi
stamp_of() { echo "$keydir/${1//\//__}.d"; }
# A pass is fresh while nothing it lists (the source and the project headers
# it read) is missing or newer than the pass itself.
fresh() {
  local stamp dep
  stamp=$(stamp_of "$1")
  [ -f "$stamp" ] || return 1
  for dep in $(sed -e 's/\\$//' -e '1s/^[^:]*://' "$stamp"); do
    [ -e "$dep" ] && [ ! "$dep" -nt "$stamp" ] || return 1
  done
}
todo=()
for s in "${sources[@]}"; do
  if [ -n "$keydir" ] && fresh "$s"; then continue; fi
  todo+=("$s")
done
cached=$(( ${#sources[@]} - ${#todo[@]} ))
if [ ${#todo[@]} -eq 0 ]; then
  echo "${#sources[@]} product sources checked for Windows (MinGW-w64 $("$cxx" -dumpversion)), all unchanged since they passed"
  exit 0
fi

# The Qt and standard headers are parsed once, into a precompiled header
# made with the same flags; each source then includes it first. It holds the
# Qt headers the product code names, not whole modules: every joined unit
# loads it, and the whole of Qt made it 380 MB, slower to load than to parse
# what a unit needs. A missing include of a Qt header is caught by the Linux
# builds, not here. With a cache the header stays there, so the passes can
# name it; it is made again when the headers the code names change.
if [ -n "$keydir" ]; then
  pchdir="$keydir/pch"
  mkdir -p "$pchdir"
else
  pchdir=$(mktemp -d)
  trap 'rm -rf "$pchdir"' EXIT
fi
mapfile -t headers < <(find "${dirs[@]}" \( -type d \( "${prune[@]}" \) -prune \) -o -type f -name '*.h' -print)
{
  # Qt's Windows headers bring in windows.h; winsock2.h must come before it.
  echo "#include <winsock2.h>"
  grep -hoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q[A-Za-z]*(/Q[A-Za-z]*)?>' "${sources[@]}" "${headers[@]}" |
    sed -E 's/.*<(.*)>/#include <\1>/' | sort -u
  for h in algorithm functional memory optional string utility vector; do echo "#include <$h>"; done
} >"$pchdir/all.h.new"
if [ ! -f "$pchdir/all.h.gch" ] || ! cmp -s "$pchdir/all.h.new" "$pchdir/all.h"; then
  mv "$pchdir/all.h.new" "$pchdir/all.h"
  rm -f "$pchdir/all.h.gch"
  pchflags=()
  for f in "${flags[@]}"; do [ "$f" = -fsyntax-only ] || pchflags+=("$f"); done
  if ! "$cxx" "${pchflags[@]}" -x c++-header "$pchdir/all.h" -o "$pchdir/all.h.gch.tmp" 2>"$pchdir/pch.log"; then
    rm -f "$pchdir/all.h.gch.tmp"
  else
    mv "$pchdir/all.h.gch.tmp" "$pchdir/all.h.gch"
  fi
else
  rm -f "$pchdir/all.h.new"
fi
if [ -f "$pchdir/all.h.gch" ]; then
  flags+=(-include "$pchdir/all.h" -Winvalid-pch)
else
  echo "no precompiled header (each source parses the headers itself):" >&2
  head -20 "$pchdir/pch.log" >&2
fi

export cxx keydir
export -f stamp_of
check() {
  local out dep=()
  if [ -n "$keydir" ]; then
    local stamp
    stamp=$(stamp_of "$1")
    rm -f "$stamp"
    dep=(-MMD -MF "$stamp.tmp" -MT "$1")
  fi
  if out=$("$cxx" "${@:2}" "${dep[@]}" "$1" 2>&1); then
    [ -z "$keydir" ] || mv "$stamp.tmp" "$stamp"
    echo "ok      $1"
  else
    [ -z "$keydir" ] || rm -f "$stamp.tmp"
    echo "FAILED  $1"; echo "$out" | head -40; return 1
  fi
}
# A joined unit: a file of the batch's sources (one per line), then the
# flags. Each source that passed gets the unit's list of what it read as its
# own pass (without the unit's file, which is remade at will).
check_batch() {
  local list=$1 unit=${1%.list}.cpp src status=0
  mapfile -t members <"$list"
  if [ ${#members[@]} -eq 1 ]; then
    check "${members[0]}" "${@:2}"
    return
  fi
  for src in "${members[@]}"; do echo "#include \"$PWD/$src\""; done >"$unit"
  local dep=()
  [ -z "$keydir" ] || dep=(-MMD -MF "$unit.d" -MT unit)
  # Joined, a source counts as an included file, so gcc takes a class of its
  # anonymous namespace used by another for one shared by a header.
  if "$cxx" "${@:2}" -Wno-subobject-linkage "${dep[@]}" "$unit" >/dev/null 2>&1; then
    for src in "${members[@]}"; do
      if [ -n "$keydir" ]; then
        sed -e "1s|^unit:|$src:|" -e "s| $unit||" "$unit.d" >"$(stamp_of "$src")"
      fi
      echo "ok      $src"
    done
    rm -f "$unit.d"
  else
    rm -f "$unit.d"
    echo "joined  ${members[*]}: failed, checking them one by one"
    for src in "${members[@]}"; do check "$src" "${@:2}" || status=1; done
  fi
  return $status
}
export -f check check_batch
batchdir="$pchdir/batches"
mkdir -p "$batchdir"
rm -f "$batchdir"/*
size="${XAV_WINDOWS_CHECK_BATCH:-8}"
read -r -a apart <<<"${XAV_WINDOWS_CHECK_APART:-}"
n=0 count=0 folder=""
for s in "${todo[@]}"; do
  alone=0
  for a in "${apart[@]}"; do [ "$s" != "$a" ] || alone=1; done
  if [ "$alone" = 1 ] || [ "$(dirname "$s")" != "$folder" ] || [ "$count" -ge "$size" ]; then
    n=$((n + 1)); count=0; folder=$(dirname "$s")
  fi
  echo "$s" >>"$batchdir/$n.list"
  count=$((count + 1))
  # Nothing joins a source that stands apart.
  [ "$alone" = 0 ] || count=$size
done
status=0
# At the lowest priority: the other tests, some with timing bounds, run beside it.
printf '%s\n' "$batchdir"/*.list | nice -n 19 xargs -P "$(nproc)" -I{} bash -c 'check_batch "$@"' _ {} "${flags[@]}" || status=1
echo "${#sources[@]} product sources checked for Windows (MinGW-w64 $("$cxx" -dumpversion)), $cached of them unchanged since they passed"
exit $status
