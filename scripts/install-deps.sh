#!/usr/bin/env bash
# Installs what building, testing and running the programs need on Debian 12
# and Debian 13.
# As root it installs missing packages with apt-get; otherwise it names them.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev
          xvfb xauth fonts-dejavu-core util-linux)
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
