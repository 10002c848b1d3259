#!/usr/bin/env bash
# Benchmarks (not tests). Every timing is a ratio of two runs made one after the other in the
# same process on the same machine, so that the figures compare across machines better than
# absolute times do. Writes the table to docs/benchmarks.md with the date and the machine.
# Usage: scripts/bench.sh [rundll32 runs per case] [co-installer runs] [detection calls]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/build.sh x64-clang >/dev/null
# The ARM64 library's size and imports are recorded beside the x64 figures; its timings are not
# taken (ARM64 Wine runs here only under emulation, which they would measure instead).
bash scripts/build.sh arm64-zig kx_library >/dev/null
build=$root/build-x64-clang
library=$build/src/KXBL_VNTRTZ71_2_2_0.dll
arm64_library=$root/build-arm64-zig/src/KXBL_VNTRTZ71_2_2_0.dll
prefix=$build/bench-prefix
wine=/usr/lib/wine/wine64
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all KX_PRODUCT_DLL=$library

# A library's imported DLLs, each followed by a blank, and how many functions it imports from them.
import_dlls() {
    /usr/bin/python3 -c 'import sys, pefile
print("".join(name + " " for name in sorted(dll.dll.decode() for dll in pefile.PE(sys.argv[1]).DIRECTORY_ENTRY_IMPORT)))' "$1"
}
import_functions() {
    /usr/bin/python3 -c 'import sys, pefile
print(sum(len(dll.imports) for dll in pefile.PE(sys.argv[1]).DIRECTORY_ENTRY_IMPORT))' "$1"
}
size=$(stat -c %s "$library")
imports=$(import_dlls "$library")
functions=$(import_functions "$library")
arm64_size=$(stat -c %s "$arm64_library")
arm64_imports=$(import_dlls "$arm64_library")
arm64_functions=$(import_functions "$arm64_library")
bash tests/prefix/setup_prefix.sh "$prefix" "$library" "$build/sim" "$build/bench-work" >/dev/null
run() { "$wine" "$@" 2>/dev/null | tr -d '\r'; }
verbs=$(run "$build/demo/verbs/kx_verb_bench.exe" "${1:-20}" "$build/tests/bench/kx_bench_empty.dll")
install=$(run "$build/tests/bench/kx_install_bench.exe" "${2:-200}")
detection=$(run "$build/tests/bench/kx_detection_bench.exe" "${3:-200}")
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
printf '%s\n' "$verbs" "$install" "$detection"

# The number after "label:" in a program's output.
figure() { printf '%s\n' "$1" | awk -v label="$2" 'index($0, label ":") == 1 {print $NF; exit}'; }
ms() { printf '%s\n' "$1" | awk -v label="$2" 'index($0, label ":") == 1 {print $(NF-1); exit}'; }
detection_row() {
    printf '%s\n' "$detection" | awk -v what="$1" 'index($0, what) == 1 {
        for (i = 1; i <= NF; ++i) { if ($i == "us" && !own) own = $(i-1); else if ($i == "us;") copy = $(i-1) }
        printf "| Detection, %s | %.2f | %s us per call; the same search copying each text: %s us |\n", what, own / copy, own, copy }'
}

{
    echo "# Benchmarks"
    echo
    echo "Produced by \`scripts/bench.sh\`; do not edit by hand. Each ratio divides two timings taken"
    echo "one after the other in one run (lower is better for the library)."
    echo
    echo "- Date: $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "- Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $("$wine" --version)"
    echo
    echo "| Figure | Value | Measured |"
    echo "|---|---|---|"
    echo "| Library size | $size bytes | KXBL_VNTRTZ71_2_2_0.dll as scripts/build.sh builds it (MinSizeRel, stripped) |"
    echo "| Library imports | $imports| $functions functions |"
    echo "| Library size, ARM64 | $arm64_size bytes | the same library for ARM64 as the arm64-zig preset builds it (MinSizeRel, stripped) |"
    echo "| Library imports, ARM64 | $arm64_imports| $arm64_functions functions |"
    echo "| Install Connector verb through rundll32 / empty rundll32 entry | $(figure "$verbs" "ratio verb / empty entry") | $(ms "$verbs" "rundll32, Install Connector verb") ms against $(ms "$verbs" "rundll32, empty entry") ms per run (process start included) |"
    echo "| Install Connector verb / same entry without a device identity | $(figure "$verbs" "ratio verb / baseline") | $(ms "$verbs" "rundll32, entry without identity") ms for the entry that only loads the library |"
    echo "| DIF_INSTALLINTERFACES / the same two trees written with plain registry calls | $(figure "$install" "ratio install / plain") | $(ms "$install" "DIF_INSTALLINTERFACES") us against $(ms "$install" "plain registry calls") us per run |"
    detection_row "256 names, no standard share"
    detection_row "256 names, five standard shares at the end"
    detection_row "256 names, five standard shares first"
} >docs/benchmarks.md
echo "wrote docs/benchmarks.md"
