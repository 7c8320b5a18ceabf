#!/bin/sh
# Renders the 48 px pictures of the icons from their SVG sources (needs
# rsvg-convert, package librsvg2-bin). The PNGs are kept in the tree so the
# build needs no renderer.
set -e
cd "$(dirname "$0")"
for svg in *.svg; do
  rsvg-convert -w 48 -h 48 "$svg" -o "${svg%.svg}-48.png"
done
