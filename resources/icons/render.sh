#!/usr/bin/env bash
# Renders the hicolor PNGs from the scalable icons. The PNGs are committed, so
# building needs no SVG renderer: run this after changing an SVG and commit both.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/hicolor"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing: apt-get install librsvg2-bin" >&2; exit 1; }
for svg in scalable/apps/*.svg; do
    name=$(basename "$svg" .svg)
    for size in 16 22 24 32 48 64 128 256; do
        mkdir -p "${size}x${size}/apps"
        rsvg-convert -w "$size" -h "$size" "$svg" -o "${size}x${size}/apps/$name.png"
    done
done
