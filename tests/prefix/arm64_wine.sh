#!/usr/bin/env bash
# Wine for the arm64 tree: the ARM64 Wine of the emulated root that scripts/arm64-root.sh makes,
# run through qemu-user in a chroot. The project folder and /tmp are the same paths inside, so
# WINEPREFIX, the test programs' paths and the X sockets need no translation; the environment
# passes through as it is.
#   arm64_wine.sh ARGS...            as wine64 ARGS...
#   arm64_wine.sh --server ARGS...   as wineserver ARGS... (arm64_wineserver.sh says this)
set -euo pipefail
root=${KX_ARM64_ROOT:-/var/cache/kx-arm64-root}
# qemu's default processor has branch protection that Wine's system-call entry does not pass, and
# every Wine process then spins at full load.
export QEMU_CPU=${QEMU_CPU:-neoverse-n1}

project=$(cd "$(dirname "$0")/../.." && pwd)
# A stale bind (of a removed clone at the same path) shows another folder: arm64-root.sh renews it.
if ! mountpoint -q "$root/proc" || ! [ "$root/tmp" -ef /tmp ] ||
    ! [ "$root$project" -ef "$project" ]; then
    bash "$project/scripts/arm64-root.sh" >/dev/null 2>&1 ||
        { echo "arm64_wine.sh: no usable root at $root (run scripts/arm64-root.sh)" >&2; exit 1; }
fi

if [ "${1:-}" = --server ]; then
    shift
    # Debian's wineserver is a shell script that picks this binary; an emulated shell less.
    program=/usr/lib/wine/wineserver64
    [ -x "$root$program" ] || program=/usr/lib/wine/wineserver
else
    program=/usr/lib/wine/wine64
    [ -x "$root$program" ] || program=/usr/bin/wine
fi
# The working folder is kept where it exists inside (the project and /tmp do).
directory=/
[ -d "$root$PWD" ] && directory=$PWD
exec chroot "$root" /usr/bin/env -C "$directory" "$program" "$@"
