#!/usr/bin/env bash
# Configures and builds the library, the simulated device and the tests with one preset
# (default mingw, into build/; clang builds into build-clang/).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-mingw}
bash scripts/install-deps.sh
cmake --preset "$preset" -DKX_BUILD_TESTS=ON >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"
