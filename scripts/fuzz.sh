#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address + undefined-behaviour
# sanitizers) and runs each one for the given time, from the seed corpus.
# Usage: scripts/fuzz.sh [seconds-per-target=60] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
ZQ_EXTRA_PACKAGES="clang libclang-rt-14-dev" scripts/install-deps.sh
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(frame console_decode bootloader_answer hex hex_checker)

build=build-fuzz   # the "fuzz" preset's binary folder
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target $(printf 'fuzz_%s ' "${targets[@]}")

status=0
for t in "${targets[@]}"; do
    corpus="$build/corpus/$t"
    mkdir -p "$corpus" "$build/artifacts/$t"
    echo "== fuzz_$t for ${seconds}s"
    if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$build/artifacts/$t/" -max_len=4096 \
            "$corpus" "fuzz/seeds/$t" 2>"$build/fuzz_$t.log"; then
        echo "fuzz_$t FAILED: see $build/fuzz_$t.log and $build/artifacts/$t/"
        tail -n 40 "$build/fuzz_$t.log"
        status=1
    fi
    grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$build/fuzz_$t.log" || true
done
exit $status
