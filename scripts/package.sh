#!/usr/bin/env bash
# Builds the Debian package dist/zq-console_<version>_<arch>.deb from a Release
# tree of its own, then judges it with Debian's checkers: lintian (fails on an
# error, prints every warning), desktop-file-validate and appstreamcli on the
# files the package holds. Last, it runs the programs from the package
# unpacked into a temporary folder (nothing is installed into the system):
# --version, zqctl against zq-sim, and the two menu programs' start.
# Usage: scripts/package.sh [build-dir]   (default: build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
ZQ_EXTRA_PACKAGES="dpkg-dev file help2man lintian desktop-file-utils appstream" \
    scripts/install-deps.sh
build=${1:-build-release}

# Debian's own compiler and linker flags (hardening included), as a package
# built by dpkg-buildpackage would get them. CMake does not read CPPFLAGS.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# The man pages' date: the last commit's, so that a rebuild gives the same pages.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DZQ_BUILD_TESTS=OFF -DZQ_BUILD_BENCH=OFF -DZQ_BUILD_FUZZ=OFF -DZQ_SANITIZE= \
    -DZQ_BUILD_ZQCTL=ON -DZQ_MAN_PAGES=ON >/dev/null
cmake --build "$build"
rm -f "$build"/zq-console_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
mkdir -p dist
rm -f dist/zq-console_*.deb
mv "$build"/zq-console_*.deb dist/
deb=$(ls dist/zq-console_*.deb)
echo "Built $deb"

status=0
echo "== lintian"
lintian --fail-on error --display-info "$deb" || status=1

root=$(mktemp -d)
sim_pid=
cleanup() {
    [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$root"
echo "== desktop-file-validate"
for f in "$root"/usr/share/applications/*.desktop; do
    desktop-file-validate "$f" || status=1
done
echo "== appstreamcli validate"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || status=1

# The unpacked programs, on the libraries the system has.
echo "== the unpacked programs"
bin=$root/usr/bin
version=$(sed -n 's/^project(zq_console VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
for program in zqctl zq-sim; do
    said=$("$bin/$program" --version) || true
    [ "$said" = "$program $version" ] || { echo "$program --version: '$said'" >&2; status=1; }
done
# zqctl against zq-sim: the simulator's first line is its pseudo-terminal.
"$bin/zq-sim" --edition 5 >"$root/sim.out" 2>&1 &
sim_pid=$!
port=
for _ in $(seq 100); do
    port=$(head -n1 "$root/sim.out")
    [ -n "$port" ] && break
    sleep 0.1
done
answer=$("$bin/zqctl" --port "$port" version) || status=1
echo "zqctl --port $port version: $answer"
grep -q "Software Version" <<<"$answer" || status=1
# The menu programs start and keep running until timeout ends them (status 124).
for program in console5 zq-firmware; do
    code=0
    QT_QPA_PLATFORM=offscreen timeout 3 "$bin/$program" >/dev/null 2>&1 || code=$?
    [ $code -eq 124 ] || { echo "$program ended with status $code at start" >&2; status=1; }
done

[ $status -eq 0 ] && echo "Package checks passed: $deb" || echo "Package checks FAILED: $deb" >&2
exit $status
