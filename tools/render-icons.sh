#!/usr/bin/env bash
# Renders packaging/icons/tarnconf.svg into the PNGs checked in beside it, one per hicolor size.
# Run after changing the SVG. Usage: tools/render-icons.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/ensure-deps.sh librsvg2-bin
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" packaging/icons/tarnconf.svg \
        -o "packaging/icons/tarnconf-$size.png"
done
