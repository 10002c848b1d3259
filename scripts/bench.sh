#!/usr/bin/env bash
# Benchmarks (not tests): the library's size and imports, and one verb run through rundll32
# against the simulated device. Figures depend on the machine; compare runs on the same one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/build.sh >/dev/null
build=$root/build
library=$build/src/KXBL_VNTRTZ71_2_2_0.dll
prefix=$build/bench-prefix
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all

echo "library: $(stat -c %s "$library") bytes"
echo "imports: $(x86_64-w64-mingw32-objdump -p "$library" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')"
bash tests/prefix/setup_prefix.sh "$prefix" "$library" "$build/sim" "$build/bench-work" >/dev/null
/usr/lib/wine/wine64 "$build/demo/verbs/kx_verb_bench.exe" "${1:-20}" 2>/dev/null | tr -d '\r'
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
