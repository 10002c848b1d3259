#!/usr/bin/env bash
# The check to run before a release: proves that the README's two commands need nothing but a
# minimal Debian 12. Builds such a system (debootstrap --variant=minbase bookworm) in a scratch
# folder, puts a clone of the committed tree (HEAD) into it, runs
# `bash scripts/demo.sh` and then `bash scripts/test.sh` inside it with chroot, as root and
# without a display, and removes it all again. Needs root and network access to Debian's archive;
# takes about as long as both commands plus a few minutes.
#   bash scripts/fresh-check.sh [--keep]    --keep leaves the scratch system for a look afterwards
set -euo pipefail
cd "$(dirname "$0")/.."
keep=no
[ "${1:-}" = "--keep" ] && keep=yes
[ "$(id -u)" -eq 0 ] || { echo "fresh-check: must run as root (debootstrap, chroot, mount)" >&2; exit 2; }

if ! command -v debootstrap >/dev/null; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
fi

scratch=$(mktemp -d /var/tmp/kx-fresh-check.XXXXXX)
root=$scratch/root
mounted=()

# Whatever still runs inside (the programs of a prefix whose server ended, an X server) holds
# the bind of /dev: each is named and ended by pid, found by its root directory (the scratch
# system's, or one below it: the ARM64 tests' emulated root).
end_processes_inside() {
    local process process_root pids=()
    for process in /proc/[0-9]*; do
        process_root=$(readlink "$process/root" 2>/dev/null) || continue
        case $process_root in "$root" | "$root"/*) pids+=("${process#/proc/}") ;; esac
    done
    [ ${#pids[@]} -eq 0 ] && return 0
    echo "fresh-check: ${#pids[@]} processes were left running inside; ending them:" >&2
    for process in "${pids[@]}"; do
        echo "   $process $(tr '\0' ' ' <"/proc/$process/cmdline" 2>/dev/null | cut -c1-100)" >&2
    done
    kill -KILL "${pids[@]}" 2>/dev/null || true
    sleep 1
    return 1
}

# Unmounts before anything is deleted: a bind of /dev that is still mounted would take the
# host's device nodes with it. If an unmount fails, the tree stays and the script says where.
cleanup() {
    local i status=0
    end_processes_inside || true
    # The commands inside mount too (the ARM64 tests' root binds /proc, /dev, /tmp and the
    # project into itself): everything below the root goes, the deepest first.
    local inner
    while read -r inner; do
        umount "$inner" 2>/dev/null || umount -l "$inner" || status=1
    done < <(awk -v root="$root" 'index($2, root "/") == 1 { print $2 }' /proc/mounts | sort -r)
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        if mountpoint -q "${mounted[i]}"; then
            umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || status=1
        fi
    done
    if [ $status -ne 0 ] || grep -q " $root" /proc/mounts; then
        echo "fresh-check: something is still mounted below $root; left in place" >&2
    elif [ "$keep" = yes ]; then
        echo "fresh-check: scratch system kept in $root"
    else
        rm -rf --one-file-system "$scratch"
    fi
}
trap cleanup EXIT

mount_in_root() { # <what> <where below root> [mount options...]
    local what=$1 where=$root$2
    shift 2
    mount "$@" "$what" "$where"
    mounted+=("$where")
}

echo "== fresh-check: a minimal Debian 12 in $root"
start=$SECONDS
debootstrap --variant=minbase bookworm "$root" >"$scratch/debootstrap.log" 2>&1 ||
    { tail -n 20 "$scratch/debootstrap.log"; exit 1; }
cp /etc/resolv.conf "$root/etc/resolv.conf"
echo "   made in $((SECONDS - start)) s"

mkdir -p "$root/work"
# A clone, as CI's: the release takes its time from the last commit.
git clone -q --no-local --no-hardlinks "$(pwd)" "$root/work/project"
mount_in_root proc /proc -t proc
mount_in_root sysfs /sys -t sysfs
mount_in_root /dev /dev --bind
mount_in_root devpts /dev/pts -t devpts -o newinstance,ptmxmode=0666
# The scratch system shares the host's network namespace, and with it the abstract X sockets: an
# X server of the host on display N makes an Xvfb started inside on N fail ("server already
# running"). xvfb-run -a inside picks a number by the lock files it sees, so it sees the host's.
cp /tmp/.X*-lock "$root/tmp/" 2>/dev/null || true

# This machine may reach the npm registry through a proxy whose certificate authority only its
# own trust store holds; the environment then names that bundle, as it does for CI. The scratch
# system gets a copy where no package of its own would write.
ca_setting=()
if [ -n "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f "$NODE_EXTRA_CA_CERTS" ]; then
    cp "$NODE_EXTRA_CA_CERTS" "$root/usr/local/share/kx-host-ca.crt"
    ca_setting=(NODE_EXTRA_CA_CERTS=/usr/local/share/kx-host-ca.crt)
fi

# A login-like environment: nothing of this shell's (no DISPLAY, no WINEPREFIX, no PATH extras).
in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 "${ca_setting[@]}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/bash -c "cd /work/project && $1"
}

status=0
for command in "bash scripts/demo.sh" "bash scripts/test.sh"; do
    echo "== fresh-check: $command"
    start=$SECONDS
    if in_root "$command" >"$scratch/run.log" 2>&1; then
        echo "   passed in $((SECONDS - start)) s"
    else
        echo "   FAILED after $((SECONDS - start)) s; the end of its output:"
        tail -n 40 "$scratch/run.log"
        status=1
    fi
    tail -n 3 "$scratch/run.log" | sed 's/^/   | /'
done
end_processes_inside || status=1
[ $status -eq 0 ] && echo "fresh-check: both README commands pass on a minimal Debian 12"
exit $status
