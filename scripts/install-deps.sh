#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (as root), only when something is missing.
set -euo pipefail
# The Win32-thread compiler brings the C++ runtime that the shipped DLL links (see cmake/).
packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
          mingw-w64-tools cmake make googletest
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
    # Installed, the Win32-thread compiler takes over the unsuffixed x86_64-w64-mingw32-gcc and
    # -g++ names; they stay with the posix compiler, which everything but the shipped DLL uses.
    for tool in gcc g++; do
        update-alternatives --set "x86_64-w64-mingw32-$tool" "/usr/bin/x86_64-w64-mingw32-$tool-posix" >/dev/null
    done
fi
