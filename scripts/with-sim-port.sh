#!/usr/bin/env bash
# Runs a command in which a serial port that Qt lists is really the simulated
# unit's pseudo-terminal, so the start window's "Scan Port" offers it without
# any change to the program.
#
# Usage: scripts/with-sim-port.sh PTY COMMAND [ARGS...]
#   PTY      the device path that zq-sim printed (e.g. /dev/pts/3)
#   ZQ_SIM_PORT_DEVICE  the listed port to stand in for (default /dev/ttyS0)
#
# How: in a private mount namespace the pseudo-terminal is bind-mounted onto
# the port's device node; the command and its children see the simulator
# there, the rest of the machine sees nothing. Root gets a plain mount
# namespace; other users get one inside a user namespace. When the node does
# not exist (Qt may list a port from sysfs without one), root creates an empty
# placeholder for the mount and removes it afterwards.
#
# Exit status: the command's, or 3 when the namespace cannot be made here.
set -euo pipefail

device=${ZQ_SIM_PORT_DEVICE:-/dev/ttyS0}

if [[ "${1:-}" == "--inside" ]]; then
    # Second stage, already in the new namespace.
    shift
    pty=$1
    shift
    # Where the namespace kept the propagation as it was (see below), the
    # mount that holds the device is made private first, so that the bind
    # mount stays in this namespace.
    [[ -z "${ZQ_SIM_PORT_PRIVATE:-}" ]] || mount --make-rprivate "$ZQ_SIM_PORT_PRIVATE"
    mount --bind "$pty" "$device"
    exec "$@"
fi

if [[ $# -lt 2 ]]; then
    echo "usage: $0 PTY COMMAND [ARGS...]" >&2
    exit 2
fi
pty=$1
shift
if [[ ! -c "$pty" ]]; then
    echo "$0: $pty is not a terminal device" >&2
    exit 2
fi

if [[ $(id -u) -eq 0 ]]; then
    enter=(unshare --mount --propagation private)
else
    enter=(unshare --user --map-root-user --mount --propagation private)
fi

placeholder=""
if [[ ! -e "$device" ]]; then
    if [[ $(id -u) -ne 0 ]]; then
        echo "$0: $device does not exist and only root can create a stand-in for it" >&2
        exit 3
    fi
    : >"$device"
    placeholder=$device
fi
cleanup() { if [[ -n "$placeholder" ]]; then rm -f "$placeholder"; fi; }
trap cleanup EXIT

if ! "${enter[@]}" true 2>/dev/null && [[ $(id -u) -eq 0 ]]; then
    # In a chroot the root is no mount point, so unshare cannot make every
    # mount private: keep the propagation, and make private only the mount
    # that holds the device, inside the namespace.
    if ZQ_SIM_PORT_PRIVATE=$(findmnt -n -o TARGET --target "$device"); then
        export ZQ_SIM_PORT_PRIVATE
        enter=(unshare --mount --propagation unchanged)
    fi
fi
if ! "${enter[@]}" true 2>/dev/null; then
    echo "$0: cannot make a private mount namespace here (${enter[*]} failed)" >&2
    exit 3
fi
status=0
"${enter[@]}" "$0" --inside "$pty" "$@" || status=$?
exit "$status"
