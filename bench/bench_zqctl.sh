#!/bin/bash
# Times `zqctl firmware write FILE --verify` against zq-sim paced at a real
# line's rate, and prints it beside the line's minimum: 10 bits per byte over
# every frame byte sent and received (counted from a --log run of the same
# write, which is not timed), and their ratio. With the floor program, also a
# bare replay of the same frames on the same unit.
#
#   bench/bench_zqctl.sh ZQCTL ZQ_SIM [runs=3] [baud=115200] [bench_zqctl_floor]
set -euo pipefail

zqctl=${1:?zqctl path}
sim=${2:?zq-sim path}
runs=${3:-3}
baud=${4:-115200}
floor=${5:-}
bits_per_byte=10

work=$(mktemp -d)
sim_pid=
cleanup() {
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

awk -f "$(dirname "$0")/full_image.awk" >"$work/image.hex"

"$sim" --baud "$baud" --quiet >"$work/sim.out" 2>/dev/null &
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
port=$(head -n 1 "$work/sim.out")

write() { "$zqctl" firmware write "$work/image.hex" --verify --port "$port" "$@" >/dev/null 2>&1; }

write --log "$work/frames.log"
line_bytes=$(awk '$3 == ">" || $3 == "<" { n += NF - 3 } END { print n }' "$work/frames.log")
minimum_ns=$((line_bytes * bits_per_byte * 1000000000 / baud))
seconds() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }

echo "firmware write with --verify: start, 1018 payloads, read-back, leave; zq-sim at $baud baud"
best_ns=
for ((r = 1; r <= runs; r++)); do
    start=$(date +%s%N)
    write
    elapsed=$(($(date +%s%N) - start))
    echo "  run $r                        : $(seconds "$elapsed") s"
    if [ -z "$best_ns" ] || [ "$elapsed" -lt "$best_ns" ]; then best_ns=$elapsed; fi
done
echo "  bytes on the line            : $line_bytes (both directions)"
echo "  line minimum                 : $(seconds "$minimum_ns") s ($bits_per_byte bits per byte)"
echo "  zqctl, best of $runs            : $(seconds "$best_ns") s (the whole process)"
awk -v t="$best_ns" -v m="$minimum_ns" 'BEGIN { printf "  ratio                        : %.4f   (aim: <= 1.03)\n", t / m }'
if [ -n "$floor" ]; then
    "$floor" "$port" "$work/frames.log" "$baud"
fi
