#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (as root), only when something is missing.
set -euo pipefail
# The Win32-thread compiler brings the C++ runtime that the shipped DLL links (see cmake/). Clang
# and LLD 19 build the shipped x64 DLL with Control Flow Guard (cmake/hardening.cmake); llvm and
# clang give the ARM64 build its resource compiler and that compiler's preprocessor. The emulator
# and debootstrap make and run the ARM64 tests' arm64 root (scripts/arm64-root.sh). wixl and
# msitools build and read the installers, under faketime for a repeatable build; osslsigncode and
# openssl sign them; git tells a release its time (the last commit's).
packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
          mingw-w64-tools cmake make googletest
          wine64 xvfb xauth icoutils python3-pefile imagemagick
          clang-19 lld-19 llvm-19 clang llvm clang-tidy clang-format
          qemu-user-static binfmt-support debootstrap
          wixl msitools faketime osslsigncode openssl git)
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

# Zig 0.11.0, the ARM64 build's compiler and runtime (cmake/zig-aarch64-windows.cmake), from the
# npm registry at the version and with the integrity that cmake/zig/package-lock.json pins. It goes
# outside the work tree, to /opt/kx-toolchains/zig-0.11.0 (cmake/zig/env.sh): about 350 MB, and
# about 90 MB more once the first ARM64 build has had Zig build its runtime into cache/ there.
# rm -rf /opt/kx-toolchains/zig-0.11.0 removes all of it.
# Each is an npm project pinned by its package-lock.json, installed with its lock into a folder of
# its own, again only when the lock changed or the file that proves the installation is missing;
# optional dependencies (native XML parsers) are left out.
install_pinned() { # <what> <folder of package.json and package-lock.json> <target folder> <proof>
    local what=$1 source=$2 target=$3 proof=$4
    [ -e "$proof" ] && cmp -s "$source/package-lock.json" "$target/package-lock.json" && return 0
    if ! command -v npm >/dev/null; then
        echo "installing: npm"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends npm >/tmp/kx-apt.log 2>&1 || { cat /tmp/kx-apt.log; exit 1; }
    fi
    echo "installing $what into $target"
    mkdir -p "$target"
    cp "$source/package-lock.json" "$source/package.json" "$target/"
    # A download cache of its own, removed afterwards: the target folder is all it leaves.
    (cd "$target" && npm ci --omit=optional --ignore-scripts --no-audit --no-fund --cache "$target/npm-cache" \
        >/tmp/kx-npm.log 2>&1) || { cat /tmp/kx-npm.log; exit 1; }
    rm -rf "$target/npm-cache"
}
here=$(dirname "$0")/..
. "$here/cmake/zig/env.sh"
install_pinned Zig "$here/cmake/zig" "$KX_ZIG_DIR" "$KX_ZIG"

# The CycloneDX library, which validates the release's bill of materials against its bundled
# schemas offline (package/release/verify.py); about 11 MB.
cyclonedx=${KX_CYCLONEDX_DIR:-/opt/kx-toolchains/cyclonedx-7.1.0}
install_pinned "the CycloneDX validator" "$here/package/release/sbom-validator" "$cyclonedx" \
    "$cyclonedx/node_modules/@cyclonedx/cyclonedx-library/package.json"
