#!/usr/bin/env bash
# Builds everything and runs the whole suite under Wine in a fresh test prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
ctest --output-on-failure -j"$(nproc)" "$@"
