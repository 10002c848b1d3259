#!/usr/bin/env bash
# Proves that a release rebuilds byte for byte: makes it here (scripts/release.sh), then again
# from a copy of the work tree in another folder with build trees of its own, on a clock two days
# ahead, and compares every file. Both releases are signed with one throw-away certificate (no
# timestamp server), so the signing is compared too. The copy holds the tracked files as they are
# now (uncommitted changes included); both builds take the time of the last commit.
#   bash scripts/check-rebuild.sh        exit status 1 when a file differs
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
fail() { echo "check-rebuild.sh: $*" >&2; exit 1; }
bash scripts/install-deps.sh
. cmake/product.sh
# The copy below is no clone: it is given the time of this one.
kx_export_release_time || fail "no release time"
scratch=$(mktemp -d /var/tmp/kx-rebuild.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

# A certificate made for this check alone; its key stays in the scratch folder.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$scratch/key.pem" -out "$scratch/certificate.pem" -days 7 \
    -subj "/CN=Rebuild check" -addext extendedKeyUsage=codeSigning 2>/dev/null
export KX_SIGN_PASSWORD=rebuild KX_SIGN_PKCS12=$scratch/certificate.p12 KX_SIGN_CAFILE=$scratch/certificate.pem
openssl pkcs12 -export -inkey "$scratch/key.pem" -in "$scratch/certificate.pem" -out "$KX_SIGN_PKCS12" \
    -passout env:KX_SIGN_PASSWORD

echo "== the release, here (into $scratch/first)"
KX_RELEASE_DIR=$scratch/first bash scripts/release.sh
copy=$scratch/another/place/for/the/sources
mkdir -p "$copy"
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$copy"
# Every program that reads the clock (the native ones: Zig's are static) sees a day two days and
# five hours later: a date or a time of day that leaks into a file cannot go unseen.
echo "== the release again, in $copy, two days and five hours later"
(cd "$copy" && KX_RELEASE_DIR=$scratch/second faketime -f '+53h' bash scripts/release.sh)

diff -r --brief "$scratch/first" "$scratch/second" || fail "the two releases differ (above)"
echo "check-rebuild: the two releases are identical ($(wc -l <"$scratch/first/SHA256SUMS") files and SHA256SUMS, signed), built in $root and in $copy"
