#!/usr/bin/env bash
# Renders the window icon sizes compiled into the program from the one
# drawing, packaging/veskfrontend.svg. Run after changing the drawing; the
# PNGs are kept in the tree so building needs no SVG renderer.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" packaging/veskfrontend.svg -o "resources/icons/veskfrontend-$size.png"
done
