#!/usr/bin/env bash
# Builds every tree of CMakePresets.json (Clang into build-x64-clang/, GCC into build-x64-gcc/, Zig
# into build-arm64-zig/, the packages from the two shipped DLLs into build/), runs the whole suite
# on each compiler's build in turn, each tree in its own fresh test prefix: the x64 trees under
# Wine, the ARM64 tree under the ARM64 Wine of an emulated arm64 root (scripts/arm64-root.sh makes
# it the first time, outside the work tree); then the packages' checks, the release's rebuild check
# (scripts/check-rebuild.sh) and the static checks (scripts/lint.sh). Extra arguments go to ctest.
# The dialog tests need a display: the script runs itself on a private Xvfb server, so that no
# window of the user's desktop can get in their way (without xvfb-run they use $DISPLAY, or skip).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
if [ -z "${KX_PRIVATE_DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    KX_PRIVATE_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" "$@"
fi

# Each step says how long the run had taken when it began: where a slow machine spends its time.
step() { echo "== $* (at $((SECONDS / 60)) min $((SECONDS % 60)) s)"; }
# The first time, the emulated arm64 root takes minutes of emulated package installation: it is
# made while the x64 trees build and run their suites, and waited for before the arm64 suite.
arm64_root_log=$(mktemp)
bash scripts/arm64-root.sh >/dev/null 2>"$arm64_root_log" &
arm64_root=$!
for preset in x64-clang x64-gcc arm64-zig packages; do
    step "building $preset"
    bash scripts/build.sh $preset
done
# A run whose test prefix lost its wineserver says nothing about the library: the prefix's
# shut-down reports it, and the suite runs once more on a fresh prefix. Any other failure stands,
# and so does a second lost server. Every voided run is named again at the end.
. tests/prefix/prefix_server.sh
voided=()
void_reason() { cat "$(server_ended_marker "$1/tests/work")" 2>/dev/null; }
# The voided run's work folder (the server's log, status and core) is kept beside the new one.
keep_voided_work() {
    rm -rf "$1/tests/work.voided"
    mv "$1/tests/work" "$1/tests/work.voided"
}
run_suite() {
    local tree=$1 reason
    shift
    (cd "$tree" && ctest --output-on-failure -j"$(nproc)" "$@") && return 0
    reason=$(void_reason "$tree") || return 1
    keep_voided_work "$tree"
    reason=${reason//\/tests\/work\//\/tests\/work.voided\/}
    voided+=("$tree/ wineserver ended ($reason)")
    echo "== the wineserver of $tree/ ended during the run ($reason): the suite once more on a fresh prefix"
    (cd "$tree" && ctest --output-on-failure -j"$(nproc)" "$@") && return 0
    reason=$(void_reason "$tree") || return 1
    voided+=(" $tree/ wineserver ended again ($reason)")
    echo "== the wineserver of $tree/ ended in the second run too: the tree fails"
    return 1
}

status=0
# One tree after the other: the suites would compete for the same cores.
for tree in build-x64-clang build-x64-gcc build-arm64-zig; do
    if [ $tree = build-arm64-zig ]; then
        step "waiting for the emulated arm64 root"
        root_status=0
        wait $arm64_root || root_status=$?
        cat "$arm64_root_log" && rm -f "$arm64_root_log"
        if [ $root_status -ne 0 ]; then
            echo "== the emulated arm64 root could not be made: no arm64 suite"
            status=1
            continue
        fi
    fi
    step "tests of $tree/"
    run_suite "$tree" "$@" || status=1
done
step "checks of the packages in build/"
(cd build && ctest --output-on-failure "$@") || status=1
step "the release, made twice in two folders and compared (scripts/check-rebuild.sh)"
if bash scripts/check-rebuild.sh >build/check-rebuild.log 2>&1; then
    tail -n 1 build/check-rebuild.log
else
    cat build/check-rebuild.log
    status=1
fi
step "lint"
bash scripts/lint.sh || status=1
step "done"
if [ ${#voided[@]} -gt 0 ]; then
    (IFS=';' && echo "${#voided[@]} run$([ ${#voided[@]} -gt 1 ] && echo s) voided: ${voided[*]}")
fi
exit $status
