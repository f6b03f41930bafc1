#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; apt-get runs only when one is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libcli11-dev nlohmann-json3-dev
    libcairo2-dev libpango1.0-dev fonts-liberation fonts-comic-neue
    fdisk util-linux python3 strace
    dpkg-dev appstream desktop-file-utils
    libfuse3-dev fuse3
    libwxgtk3.2-dev libxext-dev xvfb xauth openbox xdotool x11-utils
    zlib1g-dev ntfs-3g dosfstools
    libglib2.0-dev dbus udev polkitd udisks2
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages and not root: run as root, or install them: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
