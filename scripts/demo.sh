#!/usr/bin/env bash
# The demonstration in one command: the simulated ZQ unit, and a console whose
# start window finds it under "Scan Port" as ttyS0, with no change to either
# program.
#
# Usage: scripts/demo.sh [EDITION]     EDITION 1 to 5, default 5 (console5)
#
# Installs what is missing and builds what is missing into build/, starts
# build/sim/zq-sim for that edition (its traffic goes to build/zq-sim-demo.log),
# runs build/app/console<EDITION> with the simulator's pseudo-terminal standing
# in for /dev/ttyS0 (scripts/with-sim-port.sh), and stops the simulator when
# the console exits. Without a display it does the same steps offscreen and
# writes pictures of the start window and of the connected console to
# build/demo/, naming them.
set -euo pipefail
cd "$(dirname "$0")/.."

edition=${1:-5}
if [[ ! "$edition" =~ ^[1-5]$ ]]; then
    echo "usage: $0 [EDITION]   (EDITION 1 to 5, default 5)" >&2
    exit 2
fi

scripts/install-deps.sh
has_display=yes
case "${QT_QPA_PLATFORM:-}" in
offscreen* | minimal*) has_display= ;;
"") [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]] || has_display= ;;
esac

qt=${ZQ_QT:-5}
build=build$([ "$qt" = 5 ] || echo "-qt$qt")
[[ -f "$build/build.ninja" ]] || cmake -S . -B "$build" -G Ninja -DZQ_QT_MAJOR="$qt" >/dev/null
targets=("console$edition" zq-sim)
[[ -n "$has_display" ]] || targets+=("demo-shots$edition")
cmake --build "$build" --target "${targets[@]}"

console=$build/app/console$edition
log=$build/zq-sim-demo.log
out=$(mktemp)
"$build/sim/zq-sim" --edition "$edition" >"$out" 2>"$log" &
sim_pid=$!
stop_sim() {
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    rm -f "$out"
}
trap stop_sim EXIT

pty=""
for _ in $(seq 50); do
    pty=$(head -n 1 "$out" 2>/dev/null || true)
    [[ -n "$pty" ]] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
done
if [[ -z "$pty" ]]; then
    echo "The simulator did not start; see $log" >&2
    exit 1
fi

echo "Simulated ZQ unit (edition $edition) on $pty; its traffic: tail -f $log"
listed=
say_not_listed() {
    scripts/with-sim-port.sh "$pty" true || true # says why
    echo "This host cannot put the simulator into the console's port list (see above):" >&2
    echo "that needs a private mount namespace (root, or unprivileged user namespaces)" >&2
    echo "and a /dev/ttyS0 to mount it on." >&2
}
ZQ_SIM_PORT_DEVICE=/dev/ttyS0 scripts/with-sim-port.sh "$pty" true 2>/dev/null && listed=yes

if [[ -z "$has_display" ]]; then
    echo "There is no display here, so the windows are drawn offscreen instead:"
    echo "Scan Port, ttyS0 chosen, Default Connection, and the console once the unit answers."
    if [[ -z "$listed" ]]; then
        say_not_listed
        exit 1
    fi
    shots=$build/demo
    mkdir -p "$shots"
    rm -f "$shots"/*.png
    if ! QT_QPA_PLATFORM=offscreen scripts/with-sim-port.sh "$pty" \
        "$build/app/demo-shots$edition" ttyS0 "$shots" >"$shots/written"; then
        echo "Taking the pictures failed; the simulator's traffic is in $log" >&2
        exit 1
    fi
    echo "Pictures of console$edition against the simulated unit:"
    sed 's/^/  /' "$shots/written"
    rm -f "$shots/written"
    echo "On a desktop session, $0 $edition opens the same windows for you to use."
    exit 0
fi

status=0
if [[ -n "$listed" ]]; then
    echo "In the start window: Scan Port, choose ttyS0, then Default Connection (or Connection)."
    scripts/with-sim-port.sh "$pty" "$console" || status=$?
else
    say_not_listed
    echo "To connect by hand, as root:" >&2
    echo "  unshare --mount --propagation private sh -c \\" >&2
    echo "    'mount --bind $pty /dev/ttyS0 && exec $console'" >&2
    echo "or point any serial program at $pty. Starting $console without it." >&2
    "$console" || status=$?
fi
exit "$status"
