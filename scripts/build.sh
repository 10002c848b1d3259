#!/usr/bin/env bash
# Configures and builds one preset of CMakePresets.json, or with a target name after the preset
# that target alone:
#   x64-clang        build-x64-clang/   the shipped x64 DLL, its tests, the demo programs (default)
#   x64-gcc          build-x64-gcc/     the library's code and the tests with the second compiler
#   arm64-zig        build-arm64-zig/   the shipped ARM64 DLL and its tests
#   packages         build/             the driver packages and installers from the two shipped DLLs
#   x64-clang-trace  build-x64-clang-trace/  the diagnostic DLL
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-x64-clang}
target=${2:-all}
bash scripts/install-deps.sh
settings=()
case $preset in
    packages)
        # build/ held a compiler tree before the packages had a tree of their own.
        if [ -f build/CMakeCache.txt ] && ! grep -q '^KX_ASSEMBLE_PACKAGES:' build/CMakeCache.txt; then
            echo "build.sh: build/ holds a compiler tree of an older layout: removing it"
            rm -rf build
        fi
        ;;
    *) settings=(-DKX_BUILD_TESTS=ON) ;;
esac
cmake --preset "$preset" "${settings[@]}" >/dev/null
cmake --build --preset "$preset" --target "$target" -j"$(nproc)"
