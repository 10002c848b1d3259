#!/usr/bin/env bash
# Makes the release in build/release/: both DLLs with their PDBs (x64/, arm64/), both installers
# (msi/), the co-installer driver package (package/), the DCH driver package (package-dch/), a
# symbol-server tree (symbols/), the bill of materials (sbom.cdx.json) and SHA256SUMS
# (package/release/assemble.py). The files are a function of the commit: its time is the release's
# (SOURCE_DATE_EPOCH, unless set), so a rebuild anywhere, any day, gives the same bytes
# (scripts/check-rebuild.sh proves it).
#   bash scripts/release.sh
#   KX_SIGN_PKCS12=cert.p12 KX_SIGN_PASSWORD=... bash scripts/release.sh     signed (scripts/sign.sh)
# KX_RELEASE_DIR names another folder for the release (checks use it).
# Signed, every DLL a machine receives carries the signature, whichever route brings it: the DLLs
# are signed first, the packages and installers made from the signed DLLs, then the installers
# signed in turn. The release is made in build/release.partial/ and read back
# (package/release/verify.py) before it replaces build/release/: a step that fails leaves no
# half-made release, and the last good one stays.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
fail() { echo "release.sh: $*" >&2; exit 1; }
bash scripts/install-deps.sh
. cmake/product.sh
kx_export_release_time || fail "no release time"
signed=
if [ -n "${KX_SIGN_PKCS12:-}${KX_SIGN_PASSWORD+set}" ]; then
    signed=1
fi
library=$(kx_product LIBRARY_FILE)
symbols=${library%.dll}.pdb

release=${KX_RELEASE_DIR:-$root/build/release}
release=$(realpath -m "$release") stage=$release.partial packages=$root/build/release-packages
trap 'rm -rf "$stage" "$packages"' EXIT
rm -rf "$stage" "$packages"
bash scripts/build.sh x64-clang kx_library >/dev/null
bash scripts/build.sh arm64-zig kx_library >/dev/null
for processor in x64 arm64; do
    tree=$root/build-x64-clang
    [ $processor = arm64 ] && tree=$root/build-arm64-zig
    mkdir -p "$stage/$processor"
    cp "$tree/src/$library" "$tree/src/$symbols" "$stage/$processor/"
done
[ -z "$signed" ] || bash scripts/sign.sh "$stage/x64/$library" "$stage/arm64/$library"

# The packages of the staged (signed) DLLs, in a tree of their own made afresh: its files carry the
# release's time, never a time cached from an earlier configuration.
cmake -S . -B "$packages" -DKX_ASSEMBLE_PACKAGES=ON -DKX_X64_LIBRARY="$stage/x64/$library" \
    -DKX_ARM64_LIBRARY="$stage/arm64/$library" >/dev/null
cmake --build "$packages" >/dev/null
cp -r "$packages/package" "$packages/msi" "$packages/package-dch" "$stage/"
if [ -n "$signed" ]; then
    bash scripts/sign.sh "$stage"/msi/*.msi
    # The DCH package holds the same installers: the signed ones.
    for installer in "$stage"/package-dch/*.msi; do
        cp "$stage/msi/$(basename "$installer")" "$installer"
    done
fi

KX_VERSION=$(kx_product VERSION) KX_PUBLISHER=$(kx_product PUBLISHER) KX_PRODUCT_NAME=$(kx_product PRODUCT_NAME) \
    KX_UPGRADE_CODE=$(kx_product UPGRADE_CODE) KX_LIBRARY_FILE=$library KX_SIGNED=$signed \
    /usr/bin/python3 package/release/assemble.py "$stage"
/usr/bin/python3 package/release/verify.py "$stage" || fail "the release does not read back: nothing was replaced"

# The last good release goes only once the new one is complete.
rm -rf "$release.old"
[ ! -e "$release" ] || mv "$release" "$release.old"
mv "$stage" "$release"
rm -rf "$release.old"
echo "release: $release ($(find "$release" -type f | wc -l) files, time $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S') UTC${signed:+, signed})"
