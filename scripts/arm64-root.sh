#!/usr/bin/env bash
# Makes (once) and readies (every call) an emulated arm64 Debian 13 root with Wine, so that the
# arm64 tree's tests can run under ARM64 Wine on an x64 host. Debian 12's own arm64 Wine breaks on
# the Windows-ARM64 va_list, Debian 13's does not.
#
#   bash scripts/arm64-root.sh            make the root if missing, then mount what it needs
#   bash scripts/arm64-root.sh --umount   undo the mounts (the root stays)
#
# Root: $KX_ARM64_ROOT (default /var/cache/kx-arm64-root, about 1 GB), kept outside the work
# tree so that a clean checkout does not carry it. Remove: --umount, then rm -rf the folder.
# The project folder is bind-mounted at the same absolute path inside, so build-tree paths and
# WINEPREFIX paths stay identical inside and out. Needs root.
set -euo pipefail

ROOT=${KX_ARM64_ROOT:-/var/cache/kx-arm64-root}
SUITE=${KX_ARM64_SUITE:-trixie}
MIRROR=${KX_ARM64_MIRROR:-http://deb.debian.org/debian}
PROJECT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
STAMP="$ROOT/.kx-arm64-root-ready"

say() { printf '[arm64-root] %s\n' "$*" >&2; }

[ "$(id -u)" = 0 ] || { say "needs root"; exit 1; }

# Mounted in this order, undone in reverse; /tmp carries the X sockets and the test prefixes'
# scratch folders.
BINDS=(/proc /sys /dev /dev/pts /tmp "$PROJECT")

is_mounted() { mountpoint -q "$1"; }

umount_all() {
    local i
    for (( i=${#BINDS[@]}-1; i>=0; i-- )); do
        if is_mounted "$ROOT${BINDS[$i]}"; then umount -l "$ROOT${BINDS[$i]}"; fi
    done
}

if [ "${1:-}" = "--umount" ]; then
    umount_all
    exit 0
fi

host_tools() {
    bash "$PROJECT/scripts/install-deps.sh" >&2 # qemu-user-static, binfmt-support, debootstrap
    if ! is_mounted /proc/sys/fs/binfmt_misc; then
        mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    fi
    if [ ! -e /proc/sys/fs/binfmt_misc/qemu-aarch64 ]; then
        update-binfmts --enable qemu-aarch64
    fi
    grep -q '^enabled' /proc/sys/fs/binfmt_misc/qemu-aarch64 ||
        { say "qemu-aarch64 is registered but disabled"; exit 1; }
}

# Debian 12 registers the emulator without the F flag, so the kernel looks for it by path at each
# exec, inside the chroot: the root needs it at the same path.
emulator_in_root() {
    local interpreter
    interpreter=$(sed -n 's/^interpreter //p' /proc/sys/fs/binfmt_misc/qemu-aarch64)
    install -D -m 755 /usr/bin/qemu-aarch64-static "$ROOT/usr/bin/qemu-aarch64-static"
    if [ -n "$interpreter" ] && [ "$interpreter" != /usr/bin/qemu-aarch64-static ]; then
        mkdir -p "$ROOT$(dirname "$interpreter")"
        ln -sfn /usr/bin/qemu-aarch64-static "$ROOT$interpreter"
    fi
}

# Emulated, dpkg spends its time syncing every file it writes and unpacking documentation that no
# test reads: neither is worth it in a root that a failed set-up simply makes again.
quick_dpkg() {
    mkdir -p "$ROOT/etc/dpkg/dpkg.cfg.d"
    printf '%s\n' force-unsafe-io path-exclude=/usr/share/doc/* path-exclude=/usr/share/man/* \
        path-exclude=/usr/share/info/* path-exclude=/usr/share/locale/* >"$ROOT/etc/dpkg/dpkg.cfg.d/kx-quick"
}

make_root() {
    say "making $ROOT ($SUITE, arm64); takes about 7 minutes"
    mkdir -p "$ROOT"
    if [ ! -x "$ROOT/debootstrap/debootstrap" ] && [ ! -e "$ROOT/etc/os-release" ]; then
        debootstrap --arch=arm64 --variant=minbase --foreign "$SUITE" "$ROOT" "$MIRROR"
    fi
    emulator_in_root
    quick_dpkg
    if [ -x "$ROOT/debootstrap/debootstrap" ]; then
        chroot "$ROOT" /debootstrap/debootstrap --second-stage
    fi
    echo "deb $MIRROR $SUITE main" > "$ROOT/etc/apt/sources.list"
    mount_all
    chroot "$ROOT" env DEBIAN_FRONTEND=noninteractive QEMU_CPU=neoverse-n1 apt-get update
    chroot "$ROOT" env DEBIAN_FRONTEND=noninteractive QEMU_CPU=neoverse-n1 \
        apt-get install -y --no-install-recommends wine wine64 ca-certificates
    chroot "$ROOT" apt-get clean
    touch "$STAMP"
}

# A folder that the root already shows (bound before, or through an earlier bind: a project below
# /tmp) is not bound again: a bind on it would pin the folder until --umount. A bind that shows
# something else is stale: its folder was removed and made anew (a new clone at the same path), and
# the root would go on showing the removed one.
mount_all() {
    local b
    for b in "${BINDS[@]}"; do
        [ -d "$ROOT$b" ] && [ "$ROOT$b" -ef "$b" ] && continue
        if is_mounted "$ROOT$b"; then umount -l "$ROOT$b"; fi
        mkdir -p "$ROOT$b"
        mount --bind "$b" "$ROOT$b"
    done
}

host_tools
if [ ! -e "$STAMP" ]; then
    make_root
fi
emulator_in_root
mount_all
chroot "$ROOT" test -x /usr/lib/wine/wine64 -o -x /usr/bin/wine ||
    { say "Wine is missing in $ROOT"; exit 1; }
# The binds live on the host's file system too, so --one-file-system would count them.
size=$(cd "$ROOT" && du -sh --exclude=./proc --exclude=./sys --exclude=./dev --exclude=./tmp \
    --exclude=".$PROJECT" . 2>/dev/null | cut -f1)
say "ready: $ROOT ($size)"
say "run inside: QEMU_CPU=neoverse-n1 chroot $ROOT <command>"
say "Wine:       bash $PROJECT/tests/prefix/arm64_wine.sh <wine arguments>"
say "remove:     bash $0 --umount && rm -rf $ROOT"
