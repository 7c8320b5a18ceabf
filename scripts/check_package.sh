#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it unpacked into a
# temporary root: every installed program answers --version with the
# package's version, every program in bin/ has its manual page with
# DESCRIPTION, FILES and EXAMPLES sections, every file and program the
# installed user guide names is in the package (and it names no file of the
# source tree), every
# desktop entry is valid and names a program and an icon of the package, the
# dependencies came from the library scan, and lintian finds no error
# (its warnings are listed).
set -euo pipefail
cd "$(dirname "$0")/.."
log=$(mktemp)
root=$(mktemp -d)
trap 'rm -rf "$root" "$log"' EXIT
# Below the other tests' priority, which run beside it, but above the
# Windows check's (19): the Release build is the longest test, and with the
# CPU the tests leave going to it first, the CTest phase from a clean clone
# took 218 s instead of 232 s.
if ! deb=$(nice -n 10 bash scripts/package.sh --no-setup 2>"$log" | tail -1); then
  cat "$log" >&2
  echo "FAIL: the package was not built" >&2
  exit 1
fi
echo "package: $deb"
version=$(dpkg-deb -f "$deb" Version)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for lib in libqt6core6 libqt6widgets6 libqt6serialport6 libqt6network6 libc6; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib (library scan)"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -q '^\./postinst$' || fail "no postinst"

dpkg-deb -x "$deb" "$root"
programs=("$root"/usr/bin/* "$root"/usr/libexec/xav-tools/bench/*)
for p in "${programs[@]}"; do
  [ -f "$p" ] || continue  # bench/path/ holds the ping and ip stand-ins
  name=${p#"$root"}
  run="$p"
  case "$(basename "$p")" in
    # A tool running meanwhile ends every ruinet.exe and ruiping.exe of the
    # user (its KillProcess): the stand-ins answer under another name.
    ruinet.exe | ruiping.exe) run="$(dirname "$p")/check-$(basename "$p" .exe)"; cp "$p" "$run" ;;
  esac
  # No display: the windowed tools must answer before they open one.
  status=0
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$run" --version 2>&1) || status=$?
  [ "$run" = "$p" ] || rm -f "$run"
  if [ "$status" -ne 0 ]; then
    fail "$name --version failed: $out"
  elif [[ "$out" != *" $version" ]]; then
    fail "$name --version says '$out', not $version"
  else
    echo "ok   $name: $out"
  fi
done
for p in "$root"/usr/bin/*; do
  page="$root/usr/share/man/man1/$(basename "$p").1.gz"
  if [ ! -f "$page" ]; then
    fail "no manual page for $(basename "$p")"
    continue
  fi
  for section in DESCRIPTION FILES EXAMPLES; do
    zcat "$page" | grep -q "^\.SH \"\?$section\"\?\$" || fail "manual page of $(basename "$p") has no $section section"
  done
done
for stand_in in ping ip; do
  [ -x "$root/usr/libexec/xav-tools/bench/path/$stand_in" ] || fail "no bench stand-in $stand_in in libexec/xav-tools/bench/path"
done

# The installed guide must stand on its own: what it names is installed.
guide="$root/usr/share/doc/xav-tools/user-guide.md"
if [ -f "$guide" ]; then
  if grep -nE 'README|docs/|scripts/|source tree' "$guide"; then
    fail "the user guide points into the source tree (lines above)"
  fi
  # Every path of the package's own places it names (system files such as
  # /usr/sbin/getcap come from elsewhere).
  while read -r path; do
    [ -e "$root$path" ] || fail "the user guide names $path, which the package lacks"
  done < <(grep -oE '/usr/[A-Za-z0-9_./-]*[A-Za-z0-9_/-]' "$guide" | sed 's/\.$//' |
           grep -E '^/usr/bin/.|xav-tools' | sort -u)
  # Every program of the tool set a recipe starts (the first word of a
  # command line in a sh block, after variable settings).
  while read -r word; do
    [ -x "$root/usr/bin/$word" ] || fail "a recipe of the user guide starts $word, which the package lacks"
  done < <(awk '/^```sh/{on=1;next} /^```/{on=0} on' "$guide" |
           sed -E 's/^[[:space:]]*//; s/^([A-Za-z_]+=[^ ]* )+//' | awk '{print $1}' |
           grep -E '^(XAV|xav-|TVR_|tvr-|RVSIM)' | sort -u)
fi
for f in "$root"/usr/share/doc/xav-tools/{user-guide.md,copyright,changelog.gz}; do
  [ -f "$f" ] || fail "missing ${f#"$root"}"
done

entries=("$root"/usr/share/applications/*.desktop)
[ ${#entries[@]} -eq 4 ] || fail "expected 4 desktop entries, found ${#entries[@]}"
for e in "${entries[@]}"; do
  desktop-file-validate "$e" || fail "desktop-file-validate rejects ${e#"$root"}"
  exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$e")
  icon=$(sed -n 's/^Icon=//p' "$e")
  [ -x "$root/usr/bin/$exec" ] || fail "${e#"$root"}: Exec=$exec is no program of the package"
  [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "${e#"$root"}: no scalable icon $icon"
  png="$root/usr/share/icons/hicolor/48x48/apps/$icon.png"
  file "$png" | grep -q '48 x 48' || fail "${e#"$root"}: no 48 px icon $icon"
done

lintian_out=$(lintian --no-tag-display-limit "$deb" 2>&1 || true)
errors=$(grep '^E: ' <<<"$lintian_out" || true)
warnings=$(grep '^W: ' <<<"$lintian_out" || true)
[ -z "$warnings" ] || { echo "lintian warnings:"; echo "$warnings"; }
if [ -n "$errors" ]; then
  echo "lintian errors:"
  echo "$errors"
  fail "lintian reports errors"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package checks passed"
