#!/usr/bin/env bash
# Configures and builds with one preset (default mingw, into build/; clang builds into
# build-clang/, arm64 into build-arm64/): the library, its driver package, the simulated device
# and the tests, or with a target name after the preset that target alone.
# KX_ARM64_LIBRARY, when set, names the ARM64 build of the library for an x64 tree's driver
# package (scripts/demo.sh sets it); the tree keeps it until it is given another.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-mingw}
target=${2:-all}
bash scripts/install-deps.sh
settings=(-DKX_BUILD_TESTS=ON)
if [ -n "${KX_ARM64_LIBRARY:-}" ] && [ "$preset" != arm64 ]; then
    settings+=("-DKX_ARM64_LIBRARY=$KX_ARM64_LIBRARY")
fi
cmake --preset "$preset" "${settings[@]}" >/dev/null
cmake --build --preset "$preset" --target "$target" -j"$(nproc)"
