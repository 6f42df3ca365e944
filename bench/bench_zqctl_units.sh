#!/bin/bash
# zqctl on several units at once, as a production line runs it: one process,
# `firmware write FILE --verify` with one --port per unit, each unit a zq-sim
# paced at a real line's rate. For each count of units, the wall time of the
# whole run (the slowest unit, best of RUNS) beside one unit alone and beside
# the line's minimum for one unit (10 bits per byte over every frame byte sent
# and received, counted from a --log run), and the CPU time per unit of zqctl
# and of the simulators. The simulators share the machine's cores with zqctl.
# Last, what one lost answer costs a write: the wait, the quiet time and the
# exchange that brings the line back in step.
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

# What one lost answer costs: the same write on one unit whose line loses one
# command frame (a program block), so that its answer never comes and zqctl
# brings the line back in step before sending the block again, beside the
# same write on a sound line in the same run. A fresh simulator for each
# write, as it counts frames from its start.
lost_frame=500
resync_timeout=1000
# One write on a fresh unit with the given zq-sim options: its wall seconds in $wall.
write_on_fresh_unit() {
    rm -f "$work/fresh.out"
    "$sim" --baud "$baud" --quiet "$@" >"$work/fresh.out" 2>"$work/fresh.err" &
    local pid=$! port=
    sim_pids+=("$pid")
    for _ in $(seq 400); do
        port=$(head -n 1 "$work/fresh.out" 2>/dev/null || true)
        [ -n "$port" ] && break
        sleep 0.05
    done
    [ -n "$port" ] || {
        echo "zq-sim did not start: $(cat "$work/fresh.err"); $(kill -0 "$pid" 2>/dev/null &&
            echo running || echo gone)" >&2
        return 1
    }
    TIMEFORMAT='%R'
    { time "$zqctl" firmware write "$work/image.hex" --verify --timeout "$resync_timeout" \
        --port "$port" >/dev/null 2>"$work/err.txt"; } 2>"$work/time.txt" ||
        { tail -n 5 "$work/err.txt" >&2; return 1; }
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    wall=$(cat "$work/time.txt")
}
clean_best= lossy_best=
for ((r = 0; r < runs; r++)); do
    write_on_fresh_unit || { echo "  a sound line: zqctl failed"; exit 1; }
    clean=$wall
    write_on_fresh_unit --lose-frame "$lost_frame" || { echo "  one lost answer: zqctl failed"; exit 1; }
    lossy=$wall
    grep -q "back in step" "$work/err.txt" || { echo "  one lost answer: no frame was lost"; exit 1; }
    clean_best=$(awk -v a="$clean" -v b="$clean_best" 'BEGIN { print (b == "" || a < b) ? a : b }')
    lossy_best=$(awk -v a="$lossy" -v b="$lossy_best" 'BEGIN { print (b == "" || a < b) ? a : b }')
done
awk -v c="$clean_best" -v l="$lossy_best" -v t="$resync_timeout" -v f="$lost_frame" 'BEGIN {
    extra = l - c
    printf "  one lost answer (frame %d lost on its way), --timeout %d, best of each:\n", f, t
    printf "    %.3f s against %.3f s on a sound line: %.3f s more\n", l, c, extra
    printf "    of which the wait and the quiet time %.3f s, the barrier and the block sent again %.3f s\n",
        2 * t / 1000, extra - 2 * t / 1000
}'
