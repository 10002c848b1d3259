#!/usr/bin/env bash
# The main job: builds the library and plays the device's life against the simulated device
# under Wine, printing what each step did. Output also goes to build/demo/demo.log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/build.sh >/dev/null

build=$root/build
out=$build/demo-run
prefix=$build/demo-prefix
library=$build/src/KXBL_VNTRTZ71_2_2_0.dll
wine=/usr/lib/wine/wine64
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
mkdir -p "$out"
log=$out/demo.log
: >"$log"

say() { printf '%s\n' "$*" | tee -a "$log"; }
run() { "$@" 2>/dev/null | tr -d '\r' | tee -a "$log"; }

say "== preparing a fresh Wine prefix with the library installed and a simulated device"
bash tests/prefix/setup_prefix.sh "$prefix" "$library" "$build/sim" "$out/work" >/dev/null

say ""
say "== Open and Install Connector"
run "$wine" "$build/demo/verbs/kx_verb_demo.exe" "$library" nas01 "$out/work"

/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
say ""
say "log: $log"
