#!/usr/bin/env bash
# Installs what building, testing and running the programs need on Debian 12
# and Debian 13, with Qt 5 or, when ZQ_QT=6, with Qt 6.
# As root it installs missing packages with apt-get; otherwise it names them.
set -euo pipefail

case "${ZQ_QT:-5}" in
    5) qt=(qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev) ;;
    6) qt=(qt6-base-dev qt6-base-dev-tools qt6-serialport-dev) ;;
    *) echo "ZQ_QT must be 5 or 6, not '${ZQ_QT}'" >&2; exit 64 ;;
esac
packages=(cmake ninja-build g++ pkg-config "${qt[@]}" xvfb xauth fonts-dejavu-core util-linux)
[ "${ZQ_EXTRA_PACKAGES:-}" ] && packages+=(${ZQ_EXTRA_PACKAGES})

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them as root with:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
