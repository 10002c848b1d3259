#!/usr/bin/env bash
# Counts, not a test: runs each built tree's whole suite RUNS times in a row in the order CI runs
# it (no CTest cost data), each run on a fresh prefix, and says how each run ended: passed,
# failed, or voided by an end of the prefix's wineserver, with its time and any process of the
# prefix left running. Stops at nothing; the log of every run that did not pass is kept.
#   bash scripts/soak.sh RUNS [TREE...]      (default: build-x64-clang build-x64-gcc, as scripts/test.sh built them)
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:?runs}
shift
trees=("$@")
[ ${#trees[@]} -eq 0 ] && trees=(build-x64-clang build-x64-gcc)
. tests/prefix/prefix_server.sh
if [ -z "${KX_PRIVATE_DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    KX_PRIVATE_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" "$runs" "${trees[@]}"
fi
logs=$(mktemp -d /tmp/kx-soak.XXXXXX)
declare -A passed=()
for run in $(seq "$runs"); do
    for tree in "${trees[@]}"; do
        rm -f "$tree/Testing/Temporary/CTestCostData.txt"
        start=$SECONDS
        if (cd "$tree" && ctest -j"$(nproc)" --output-on-failure) >"$logs/run.log" 2>&1; then
            verdict=passed
            passed[$tree]=$((${passed[$tree]:-0} + 1))
        else
            verdict=failed
            [ -e "$(server_ended_marker "$tree/tests/work")" ] && verdict="voided: $(cat "$(server_ended_marker "$tree/tests/work")")"
            mv "$logs/run.log" "$logs/$tree-$run.log"
        fi
        left=$(prefix_processes "$PWD/$tree/wineprefix" | wc -l)
        echo "run $run $tree: $verdict, $((SECONDS - start)) s, prefix processes left: $left"
    done
done
for tree in "${trees[@]}"; do echo "$tree: ${passed[$tree]:-0} of $runs runs passed"; done
echo "logs of the runs that did not pass: $logs"
