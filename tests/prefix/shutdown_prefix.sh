#!/usr/bin/env bash
# Ends every process of the test prefix and its wineserver.
WINEPREFIX=$1 "${KX_WINESERVER:-/usr/lib/wine/wineserver}" -k >/dev/null 2>&1 || true
exit 0
