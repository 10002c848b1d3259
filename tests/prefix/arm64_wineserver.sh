#!/usr/bin/env bash
# The wineserver of the emulated arm64 root (see arm64_wine.sh), for KX_WINESERVER.
exec bash "$(dirname "$0")/arm64_wine.sh" --server "$@"
