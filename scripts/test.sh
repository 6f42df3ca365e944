#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite,
# with Qt 5 or, when ZQ_QT=6, with Qt 6.
# Usage: [ZQ_QT=6] scripts/test.sh [build-dir]   (default: build, or build-qt6 for Qt 6)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
qt=${ZQ_QT:-5}
build=${1:-build$([ "$qt" = 5 ] || echo "-qt$qt")}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_QT_MAJOR="$qt" \
    ${ZQ_CMAKE_ARGS:-} >/dev/null
cmake --build "$build"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j2 ${ZQ_CTEST_ARGS:-}
