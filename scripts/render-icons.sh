#!/usr/bin/env bash
# Renders the program's icon, desktop/icons/orvella.svg, into the PNG sizes committed beside it.
# Run after editing the SVG (needs rsvg-convert, from librsvg2-bin); the build itself only copies
# the PNGs.
set -euo pipefail
cd "$(dirname "$0")/../desktop/icons"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" orvella.svg -o "orvella-$size.png"
done
