#!/bin/bash
# What reading a HEX file costs zqctl, on a real image and on hostile files
# of up to the 16 MiB it takes: peak resident memory and time of
# `zqctl hex-info`, and that a device or a larger file is refused unread.
#
#   bench/bench_zqctl_files.sh ZQCTL
set -euo pipefail

zqctl=${1:?zqctl path}
limit_bytes=$((16 * 1024 * 1024))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

awk -f "$(dirname "$0")/full_image.awk" >"$work/image.hex"
# Data records at distinct addresses, through every upper address, until 16 MiB.
awk -v limit="$limit_bytes" '
function record(address, type, data,    n, sum, i) {
    n = length(data) / 2
    sum = n + int(address / 256) + address % 256 + type
    for (i = 1; i < length(data); i += 2) sum += hex[substr(data, i, 2)]
    return sprintf(":%02X%04X%02X%s%02X\n", n, address, type, data, (256 - sum % 256) % 256)
}
BEGIN {
    for (i = 0; i < 256; i++) hex[sprintf("%02X", i)] = i
    data = "000102030405060708090A0B0C0D0E0F"
    for (upper = 1; size < limit - 100; upper++) {
        line = record(0, 4, sprintf("%04X", upper)); printf "%s", line; size += length(line)
        for (a = 0; a < 65536 && size < limit - 100; a += 16) {
            line = record(a, 0, data); printf "%s", line; size += length(line)
        }
    }
}' >"$work/distinct.hex"
head -c "$limit_bytes" /dev/zero | tr '\0' 'F' | sed '1s/^F/:/' >"$work/one-line.hex"
(yes x || true) | head -c "$limit_bytes" >"$work/not-records.hex"
(yes ':10030000000102030405060708090A0B0C0D0E0F64' || true) | head -c "$limit_bytes" >"$work/same-record.hex"
truncate -s $((limit_bytes + 1)) "$work/too-large.hex"

echo "zqctl hex-info: peak resident memory and time (aim: under 64 MiB on any input)"
printf '  %-48s  %-10s  %-8s  %s\n' input "peak RSS" time exit
for input in image.hex distinct.hex one-line.hex not-records.hex same-record.hex too-large.hex \
    /dev/zero; do
    path=$input
    [ "${input#/}" != "$input" ] || path=$work/$input
    size=$(stat -c %s "$path")
    status=0
    /usr/bin/time -f '%M %e' -o "$work/time.txt" "$zqctl" hex-info "$path" >/dev/null 2>&1 ||
        status=$?
    read -r kib seconds < <(tail -n 1 "$work/time.txt")
    printf '  %-48s  %-10s  %-8s  %s\n' "$input ($size bytes)" \
        "$(awk -v k="$kib" 'BEGIN { printf "%.1f MiB", k / 1024 }')" "$seconds s" "$status"
done
