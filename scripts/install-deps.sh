#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need, when missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev qtbase5-dev-tools libxcb1-dev
    dfu-util patchelf libusb-1.0-0 python3
    fonts-cantarell
    xvfb xauth xdotool x11-apps imagemagick
    umockdev libumockdev-dev
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi
