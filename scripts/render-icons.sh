#!/usr/bin/env bash
# Redraws the launcher icon's PNG sizes from dist/icons/vantrel.svg (run after editing the SVG and
# commit the PNGs; the build installs them as they are, so packaging needs no SVG renderer).
set -euo pipefail
cd "$(dirname "$0")/../dist/icons"
for size in 16 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}"
  rsvg-convert -w "$size" -h "$size" vantrel.svg -o "${size}x${size}/vantrel.png"
done
