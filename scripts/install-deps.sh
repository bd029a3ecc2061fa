#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the tools need.
# Quick and silent when everything is already there.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config
    # estimation tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    # batch tool
    libcli11-dev
    # map tool; its tests and benchmark compare with gdal_calc.py
    libgdal-dev gdal-bin python3-gdal python3-numpy
    # window
    qt6-base-dev libgl-dev fonts-liberation2 desktop-file-utils appstream
    # window: X11 test helper and start-up benchmark, Debian package (cpack -G DEB)
    libx11-dev dpkg-dev
    # window tests in a real X server, screenshots
    xvfb xauth xdotool x11-utils imagemagick
    # hardening
    clang libclang-rt-14-dev clang-tidy clang-format cppcheck valgrind
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
