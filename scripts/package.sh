#!/usr/bin/env bash
# Builds the Debian package dist/zq-console_<version>_<arch>.deb from a Release
# tree of its own, builds it again from scratch from a copy of the sources and
# checks that both give the same bytes, then judges it with Debian's checkers:
# lintian (fails on any tag it shows, information included; what we chose
# knowingly is in the package's commented overrides), desktop-file-validate
# and appstreamcli on the files the package holds. Last, it runs the programs
# from the package unpacked into a temporary folder (nothing is installed into
# the system): --version, --help within 80 columns, zqctl against zq-sim, the
# two menu programs' start, and their window class against their menu entry.
# Usage: scripts/package.sh [build-dir]   (default: build-release)
set -euo pipefail
shopt -s inherit_errexit # a failed build inside $(make_package) stops the script
cd "$(dirname "$0")/.."
# The package is built with Qt 5 whatever ZQ_QT says: its dependencies are
# Qt 5's libraries.
export ZQ_QT=5
ZQ_EXTRA_PACKAGES="dpkg-dev file help2man lintian desktop-file-utils appstream x11-utils" \
    scripts/install-deps.sh
build=${1:-build-release}

# Every date the build stamps is the changelog's, as dpkg-buildpackage would
# set it: the man pages', the package's files', and the one that Qt's resource
# compiler writes for each embedded file (else the file's own time, which
# differs from one checkout to the next). Git is not needed.
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/changelog -S Timestamp)
export SOURCE_DATE_EPOCH

# Builds the package from the source tree $1 in its build tree $2 (relative to
# $1) and prints the package's path. Debian's own compiler and linker flags
# (hardening included), as a package built by dpkg-buildpackage would get them;
# they map the source tree's path to "." in what the compiler writes, and the
# build tree's path is mapped too, for what is compiled there (moc,
# resources): else it would reach the debugging information, and through it
# the binaries' build ID. CMake does not read CPPFLAGS.
make_package() {
    cd "$1"
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    local cxxflags ldflags
    cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
    ldflags=$(dpkg-buildflags --get LDFLAGS)
    cmake -S . -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS="$cxxflags -ffile-prefix-map=$(realpath -m "$2")=build" \
        -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
        -DZQ_BUILD_TESTS=OFF -DZQ_BUILD_BENCH=OFF -DZQ_BUILD_FUZZ=OFF -DZQ_SANITIZE= \
        -DZQ_BUILD_ZQCTL=ON -DZQ_MAN_PAGES=ON -DZQ_QT_MAJOR="$ZQ_QT" >/dev/null
    cmake --build "$2" >&2
    rm -f "$2"/zq-console_*.deb
    (cd "$2" && cpack -G DEB >/dev/null)
    realpath "$2"/zq-console_*.deb
}

# From nothing: what an earlier build made under other settings (another
# SOURCE_DATE_EPOCH, say) would not be made again.
rm -rf "$build"
mkdir -p dist
rm -f dist/zq-console_*.deb
mv "$(make_package . "$build")" dist/
deb=$(ls dist/zq-console_*.deb)
echo "Built $deb"

status=0
# Reproducible: a copy of the sources at another path, with other file times,
# built from nothing at another time, must give the same package byte for byte.
echo "== a second build from a copy of the sources"
again=$build-again
rm -rf "$again"
mkdir -p "$again/src"
tar --exclude='./build*' --exclude=./dist --exclude=./.git -cf - . | tar -C "$again/src" -xmf -
second=$(make_package "$again/src" build-release)
if cmp -s "$deb" "$second"; then
    echo "Both builds gave the same package: $(sha256sum "$deb" | cut -d' ' -f1)"
    rm -rf "$again"
else
    echo "The second build's package differs from the first ($second, $deb):" >&2
    mkdir -p "$again/one" "$again/two"
    dpkg-deb -R "$deb" "$again/one"
    dpkg-deb -R "$second" "$again/two"
    diff -rq "$again/one" "$again/two" >&2 || true
    status=1
fi

echo "== lintian"
lintian_out=$(lintian --fail-on error --display-info "$deb") || status=1
[ -z "$lintian_out" ] || { echo "$lintian_out"; status=1; }

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
# The project has no homepage yet, and inventing one would be false: the
# warning of newer validators (AppStream 1.0, Debian 13) that the metadata
# names none is lowered to information. Older validators do not ask for one
# and refuse to hear of the tag, so they run without the override.
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
lowered=(--override=url-homepage-missing=info)
said=$(appstreamcli validate --no-net "${lowered[@]}" "${metainfo[@]}" 2>&1) || true
grep -q "is not recognized" <<<"$said" && lowered=()
appstreamcli validate --no-net "${lowered[@]}" "${metainfo[@]}" || status=1

# The unpacked programs, on the libraries the system has.
echo "== the unpacked programs"
bin=$root/usr/bin
version=$(sed -n 's/^project(zq_console VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
for program in zqctl zq-sim; do
    said=$("$bin/$program" --version) || true
    [ "$said" = "$program $version" ] || { echo "$program --version: '$said'" >&2; status=1; }
    # Their man pages are made from --help, and a terminal has 80 columns.
    wide=$("$bin/$program" --help | awk 'length($0) > 80 { n++ } END { print n + 0 }')
    [ "$wide" -eq 0 ] || { echo "$program --help: $wide lines wider than 80 columns" >&2; status=1; }
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

# A menu entry's StartupWMClass must be the class its program's windows carry,
# or the desktop does not group a running window with its launcher. The
# programs run one after the other on one virtual display; each prints
# "<program> <class of its first window>", and its errors go to
# $root/<program>.err.
window_classes() {
    xvfb-run -a bash -c '
        errors=$1
        shift
        for program in "$@"; do
            name=${program##*/}
            "$program" >/dev/null 2>"$errors/$name.err" &
            pid=$!
            class=
            for _ in $(seq 100); do
                for w in $(xwininfo -root -children | awk "/^ +0x/ { print \$1 }"); do
                    props=$(xprop -id "$w" _NET_WM_PID WM_CLASS 2>/dev/null) || continue
                    if grep -q "^_NET_WM_PID(CARDINAL) = $pid\$" <<<"$props"; then
                        class=$(sed -n "s/^WM_CLASS(STRING) = \".*\", \"\(.*\)\"\$/\1/p" <<<"$props")
                        break 2
                    fi
                done
                sleep 0.1
            done
            kill $pid 2>/dev/null
            wait $pid 2>/dev/null
            echo "$name $class"
        done' _ "$@"
}
exec_of() { sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$1"; }
entries=("$root"/usr/share/applications/*.desktop)
programs=()
for entry in "${entries[@]}"; do
    programs+=("$bin/$(exec_of "$entry")")
done
classes=$(window_classes "$root" "${programs[@]}") || true
for entry in "${entries[@]}"; do
    program=$(exec_of "$entry")
    wanted=$(sed -n 's/^StartupWMClass=//p' "$entry")
    class=$(awk -v p="$program" '$1 == p { print $2 }' <<<"$classes")
    echo "$(basename "$entry"): StartupWMClass=$wanted, $program's windows: ${class:-none found}"
    if [ -z "$wanted" ] || [ "$wanted" != "$class" ]; then
        status=1
        grep -v "^Name\|^Description\|^Manufacturer" "$root/$program.err" | tail -n 5 >&2 || true
    fi
done

[ $status -eq 0 ] && echo "Package checks passed: $deb" || echo "Package checks FAILED: $deb" >&2
exit $status
