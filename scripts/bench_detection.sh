#!/usr/bin/env bash
# Builds the detection benchmark and reports the time per call of the standard-share detection
# over full 256-name share lists, under Wine. Usage: scripts/bench_detection.sh [calls]
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/CMakeCache.txt ] || cmake --preset mingw -DKX_BUILD_TESTS=ON >/dev/null
cmake --build build --target kx_detection_bench -j2 >/dev/null

export WINEPREFIX=${KX_BENCH_PREFIX:-$PWD/build/wineprefix-bench} WINEARCH=win64 WINEDEBUG=-all
wine=${KX_WINE64:-/usr/lib/wine/wine64}
[ -d "$WINEPREFIX" ] || "$wine" wineboot -i >/dev/null 2>&1
"$wine" build/tests/bench/kx_detection_bench.exe "${1:-200}" | tr -d '\r'
