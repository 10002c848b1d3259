#!/usr/bin/env bash
# Builds the detection benchmark and reports the time per call of the standard-share detection
# over full 256-name share lists, under Wine. Usage: scripts/bench_detection.sh [calls]
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build-x64-clang/CMakeCache.txt ] || cmake --preset x64-clang -DKX_BUILD_TESTS=ON >/dev/null
cmake --build build-x64-clang --target kx_detection_bench -j2 >/dev/null

export WINEPREFIX=${KX_BENCH_PREFIX:-$PWD/build-x64-clang/wineprefix-bench} WINEARCH=win64 WINEDEBUG=-all
wine=${KX_WINE64:-/usr/lib/wine/wine64}
[ -d "$WINEPREFIX" ] || "$wine" wineboot -i >/dev/null 2>&1
"$wine" build-x64-clang/tests/bench/kx_detection_bench.exe "${1:-200}" | tr -d '\r'
