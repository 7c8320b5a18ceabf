#!/bin/sh
# make_man_page.sh PROGRAM SUMMARY INCLUDE OUT [OWN_INCLUDE]
# Writes the manual page of PROGRAM, made from its --help and --version and
# the sections of the include files, to OUT compressed (gzip -9n: no time
# stamp, so the package is reproducible).
set -e
tmp="$4.tmp"
help2man --no-info --name="$2" --include="$3" ${5:+--include="$5"} --output="$tmp" "$1"
gzip -9n -c "$tmp" >"$4"
rm -f "$tmp"
