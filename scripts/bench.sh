#!/usr/bin/env bash
# Runs every benchmark in a release build and prints their figures, then a
# summary table (the one kept in docs/performance.md).
# Usage: scripts/bench.sh [build-dir=build-bench]
# Benchmarks time real work on a shared machine: run them while it is quiet.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${1:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZQ_BUILD_TESTS=OFF \
    -DZQ_QT_MAJOR="${ZQ_QT:-5}" >/dev/null
cmake --build "$build" --target bench_link bench_frame bench_console bench_write_sequence \
    bench_firmware_write zqctl zq-sim bench_zqctl_floor
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

run() { # name command...
    local name=$1
    shift
    echo "== $name: $*"
    "$@" 2>/dev/null | tee "$out/$name.txt"
    echo
}
export QT_QPA_PLATFORM=offscreen
run link "$build/bench/bench_link" 2000 10
run frame "$build/bench/bench_frame" 200
run console "$build/bench/bench_console" 10
run sequence "$build/bench/bench_write_sequence"
run firmware "$build/bench/bench_firmware_write"
run zqctl bench/bench_zqctl.sh "$build/zqctl/zqctl" "$build/sim/zq-sim" 3 115200 \
    "$build/bench/bench_zqctl_floor"
run units bench/bench_zqctl_units.sh "$build/zqctl/zqctl" "$build/sim/zq-sim" "1 4 8 16" 3 115200
run files bench/bench_zqctl_files.sh "$build/zqctl/zqctl"

pick() { grep -h -m1 -E "$2" "$out/$1.txt" | sed -E 's/^ *//' || echo "(missing)"; }
echo "== summary ($(nproc) cores, $(uname -m), $(date -u +%Y-%m-%d))"
echo "| benchmark | figure |"
echo "|---|---|"
echo "| link round trip | $(pick link 'uart over') |"
echo "| link round trip vs raw pty | $(pick link 'ratio uart / raw') |"
echo "| link round trip vs bare QSerialPort | $(pick link 'ratio uart / bare') |"
echo "| idle connected link | $(pick link 'idle connected link') |"
echo "| frame parsing | $(pick frame '^frame parsing') |"
echo "| console at rest | $(pick console 'at rest') |"
echo "| console resident memory | $(pick console 'resident memory') |"
echo "| HEX read, full image | $(pick sequence 'readHexFile') |"
echo "| write-sequence build | $(pick sequence 'programWriteSequence') |"
echo "| firmware write, paced 115200 | $(pick firmware '^\(b\)') |"
echo "| firmware write, unpaced | $(pick firmware '^\(c\)') |"
echo "| zqctl firmware write --verify, 115200 | $(pick zqctl 'ratio') |"
for n in 1 4 8 16; do
    echo "| zqctl on $n units at once (wall, vs one, vs line min., CPU per unit) | $(pick units "^ *$n  ") |"
done
echo "| zqctl hex-info, 16 MiB of distinct addresses | $(pick files 'distinct.hex') |"
