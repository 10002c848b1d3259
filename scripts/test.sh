#!/usr/bin/env bash
# Builds everything and runs the whole suite under Wine in a fresh test prefix. The dialog
# tests need a display: without one, the suite runs on a private Xvfb server.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" ctest --output-on-failure -j"$(nproc)" "$@"
fi
exec ctest --output-on-failure -j"$(nproc)" "$@"
