#!/bin/bash
# Installs the Debian packages the build and the tests need, only those that
# are missing. On a machine that has them all this is one dpkg-query call.
set -euo pipefail

PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    libgtest-dev libbenchmark-dev libgif-dev libstb-dev
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 xvfb xdotool x11-utils x11-apps
    imagemagick gifsicle ffmpeg python3-pil python3-pefile
)

declare -A installed=()
while read -r package status; do
    [ "$status" = installed ] && installed[$package]=1
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${PACKAGES[@]}" 2>/dev/null || true)
missing=()
for package in "${PACKAGES[@]}"; do
    [ -n "${installed[$package]:-}" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
run_as_root=()
[ "$(id -u)" -eq 0 ] || run_as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${run_as_root[@]}" apt-get update
"${run_as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
