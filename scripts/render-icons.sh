#!/usr/bin/env bash
# Renders the hand-drawn SVG pictures under src/ui/resources into the PNG files the program and
# the desktop use. Run it after changing an SVG; the PNG files are kept in the repository so that
# building needs neither tool (librsvg2-bin, imagemagick).
set -euo pipefail
res=$(cd "$(dirname "$0")/../src/ui/resources" && pwd)

for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$res/velmora.svg" -o "$res/icons/velmora-$size.png"
done

# A disabled button shows its glyph in grey and faded, as desktop toolkits draw inactive glyphs.
for svg in "$res"/glyphs/*.svg; do
  name=${svg%.svg}
  rsvg-convert -w 16 -h 16 "$svg" -o "$name.png"
  convert "$name.png" -colorspace Gray -channel A -evaluate multiply 0.45 +channel \
    "PNG32:$name-disabled.png"
done
