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

# The configure, build and test settings of each are the presets of the same
# name in CMakePresets.json.
run() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
    ctest --preset "$1" || status=1
}

case "$which" in
    asan|tsan) run "$which" ;;
    all) run asan; run tsan ;;
    *) echo "usage: $0 [asan|tsan|all]" >&2; exit 64 ;;
esac
exit $status
