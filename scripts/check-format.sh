#!/usr/bin/env bash
# Checks that every C++ file git tracks is laid out as .clang-format says;
# with --fix, formats the ones that are not.
# Different clang-format releases lay the same settings out differently, so
# the check holds the files to the release they were formatted with and says
# so, rather than failing, where another one is installed.
# Usage: scripts/check-format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
wanted=14
command -v clang-format >/dev/null || ZQ_EXTRA_PACKAGES=clang-format scripts/install-deps.sh
bin=$(command -v "clang-format-$wanted" || command -v clang-format)
major=$("$bin" --version | sed -n 's/.*version \([0-9]*\).*/\1/p')
if [ "$major" != "$wanted" ]; then
    echo "check-format: skipped, $bin is release $major and the files follow release $wanted"
    exit 0
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
    "$bin" -i "${files[@]}"
    exit 0
fi
drifted=()
for f in "${files[@]}"; do
    "$bin" --dry-run --Werror "$f" >/dev/null 2>&1 || drifted+=("$f")
done
if [ ${#drifted[@]} -gt 0 ]; then
    echo "check-format: these files differ from .clang-format (scripts/check-format.sh --fix):" >&2
    printf '  %s\n' "${drifted[@]}" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files follow .clang-format"
