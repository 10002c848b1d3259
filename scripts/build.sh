#!/usr/bin/env bash
# Configures and builds the library, the simulated device and the tests into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset mingw -DKX_BUILD_TESTS=ON >/dev/null
cmake --build --preset mingw -j"$(nproc)"
