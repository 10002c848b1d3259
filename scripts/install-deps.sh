#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (as root), only when something is missing.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools cmake make googletest
          wine64 xvfb xauth icoutils python3-pefile imagemagick
          clang lld llvm clang-tidy clang-format)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/kx-apt.log 2>&1 ||
        { cat /tmp/kx-apt.log; exit 1; }
fi
