#!/usr/bin/env bash
# Runs the test suite under the sanitizers:
#   address+undefined  every test (leak checking on)
#   thread             every test (the link's sender thread, queue, answer wait, destruction)
# Usage: scripts/sanitize.sh [asan|tsan|all]   (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
which=${1:-all}
status=0

run_asan() {
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZQ_SANITIZE=address,undefined -DZQ_BUILD_BENCH=OFF -DZQ_BUILD_ZQCTL=ON \
        -DZQ_QT_MAJOR="${ZQ_QT:-5}" >/dev/null
    cmake --build build-asan
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure -j2 || status=1
}

run_tsan() {
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZQ_SANITIZE=thread -DZQ_BUILD_BENCH=OFF -DZQ_BUILD_ZQCTL=ON \
        -DZQ_QT_MAJOR="${ZQ_QT:-5}" >/dev/null
    cmake --build build-tsan
    TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$PWD/tests/tsan.supp" \
    QT_QPA_PLATFORM=offscreen ctest --test-dir build-tsan --output-on-failure -j2 || status=1
}

case "$which" in
    asan) run_asan ;;
    tsan) run_tsan ;;
    all) run_asan; run_tsan ;;
    *) echo "usage: $0 [asan|tsan|all]" >&2; exit 64 ;;
esac
exit $status
