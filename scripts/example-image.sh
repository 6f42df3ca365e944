#!/usr/bin/env bash
# Writes an Intel HEX firmware image that the simulated unit (zq-sim) takes
# whole: every program word from 0x0300 (below it lives the bootloader), the
# 1024 bytes of EEPROM and the 14 configuration bytes, each byte a function of
# its address so that a read-back shows where it landed. It is no real
# firmware: for trying `zqctl firmware write` and the firmware window on the
# simulator, never for a real unit.
# Usage: scripts/example-image.sh [FILE]   (default: example.hex)
set -euo pipefail
out=${1:-example.hex}
awk -f "$(dirname "$0")/../bench/full_image.awk" >"$out"
echo "Wrote $out ($(wc -l <"$out") records): a firmware image for zq-sim only, not for a real unit."
