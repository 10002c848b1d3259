#!/usr/bin/env bash
# Builds everything and runs the whole suite under Wine in a fresh test prefix. The dialog
# tests need a display: the suite runs on a private Xvfb server, so that no window of the
# user's desktop can get in their way (without xvfb-run they use $DISPLAY, or skip).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
if command -v xvfb-run >/dev/null; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" ctest --output-on-failure -j"$(nproc)" "$@"
fi
exec ctest --output-on-failure -j"$(nproc)" "$@"
