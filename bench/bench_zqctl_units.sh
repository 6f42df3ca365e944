#!/bin/bash
# zqctl on several units at once, as a production line runs it: one process,
# `firmware write FILE --verify` with one --port per unit, each unit a zq-sim
# paced at a real line's rate. For each count of units, the wall time of the
# whole run (the slowest unit, best of RUNS) beside one unit alone and beside
# the line's minimum for one unit (10 bits per byte over every frame byte sent
# and received, counted from a --log run), and the CPU time per unit of zqctl
# and of the simulators. The simulators share the machine's cores with zqctl.
#
#   bench/bench_zqctl_units.sh ZQCTL ZQ_SIM [counts="1 4 8 16"] [runs=3] [baud=115200]
set -euo pipefail

zqctl=${1:?zqctl path}
sim=${2:?zq-sim path}
counts=${3:-1 4 8 16}
runs=${4:-3}
baud=${5:-115200}
bits_per_byte=10
ticks=$(getconf CLK_TCK)

work=$(mktemp -d)
sim_pids=()
cleanup() {
    for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${sim_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

awk -f "$(dirname "$0")/full_image.awk" >"$work/image.hex"

most=0
for n in $counts; do [ "$n" -gt "$most" ] && most=$n; done
ports=()
for ((i = 0; i < most; i++)); do
    "$sim" --baud "$baud" --quiet >"$work/sim$i.out" 2>/dev/null &
    sim_pids+=($!)
done
for ((i = 0; i < most; i++)); do
    for _ in $(seq 100); do [ -s "$work/sim$i.out" ] && break; sleep 0.05; done
    ports+=("$(head -n 1 "$work/sim$i.out")")
done

# CPU seconds (user + system) the simulators have used so far.
sim_cpu() {
    local total=0 pid
    for pid in "${sim_pids[@]}"; do
        total=$((total + $(awk '{ print $14 + $15 }' "/proc/$pid/stat")))
    done
    echo "$total"
}

"$zqctl" firmware write "$work/image.hex" --verify --port "${ports[0]}" --log "$work/frames.log" \
    >/dev/null 2>&1
line_bytes=$(awk '$3 == ">" || $3 == "<" { n += NF - 3 } END { print n }' "$work/frames.log")
minimum=$(awk -v b="$line_bytes" -v baud="$baud" -v bits="$bits_per_byte" \
    'BEGIN { printf "%.3f", b * bits / baud }')

echo "zqctl firmware write --verify on several units at once; zq-sim at $baud baud; $(nproc) cores"
echo "  line minimum, one unit: $minimum s ($line_bytes bytes, $bits_per_byte bits per byte)"
printf '  %-5s  %-10s  %-11s  %-14s  %-18s  %s\n' units "wall time" "vs one unit" \
    "vs line min." "zqctl CPU per unit" "zq-sim CPU per unit"
one=
for n in $counts; do
    args=()
    for ((i = 0; i < n; i++)); do args+=(--port "${ports[i]}"); done
    best=
    for ((r = 0; r < runs; r++)); do
        sims_before=$(sim_cpu)
        TIMEFORMAT='%R %U %S'
        { time "$zqctl" firmware write "$work/image.hex" --verify "${args[@]}" \
            >"$work/out.txt" 2>"$work/err.txt"; } 2>"$work/time.txt" ||
            { echo "  $n units: zqctl failed"; tail -n 5 "$work/err.txt"; exit 1; }
        sims=$(( $(sim_cpu) - sims_before ))
        read -r wall user system <"$work/time.txt"
        if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$wall best_cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')
            best_sims=$sims
        fi
    done
    [ -n "$one" ] || one=$best
    awk -v n="$n" -v w="$best" -v one="$one" -v m="$minimum" -v c="$best_cpu" \
        -v s="$best_sims" -v t="$ticks" 'BEGIN {
            printf "  %-5d  %-10s  %-11.4f  %-14.4f  %-18s  %s\n", n, sprintf("%.3f s", w),
                w / one, w / m, sprintf("%.3f s", c / n), sprintf("%.3f s", s / t / n)
        }'
done
echo "  aim: 8 units within 1.10 of one unit; one unit within 1.03 of the line minimum"
