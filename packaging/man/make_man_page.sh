#!/bin/sh
# make_man_page.sh PROGRAM SUMMARY INCLUDE OUT
# Writes the manual page of PROGRAM, made from its --help and --version, to
# OUT compressed (gzip -9n: no time stamp, so the package is reproducible).
set -e
tmp="$4.tmp"
help2man --no-info --name="$2" --include="$3" --output="$tmp" "$1"
gzip -9n -c "$tmp" >"$4"
rm -f "$tmp"
