#!/usr/bin/env bash
# Builds the per-machine installer of one processor's library from package/msi/kxvantorel.wxs.
#   make_msi.sh PROCESSOR LIBRARY OUTPUT [VERSION [FOLDER]]
# PROCESSOR is x64 or arm64. The product's name, publisher, upgrade code, file name and hardware
# id, and the version unless a test names another (four fields), come from cmake/product.cmake;
# FOLDER, the folder below Program Files\Corvanta, is "KX Vantorel" unless a test names another.
#
# Windows Installer compares only the first three fields of a product version, and a release of
# this library changes the fourth. The product version is therefore
#   major.minor.(build * 1000 + revision)
# which keeps the order of all four fields as long as the revision stays below 1000 and the third
# field at most 65535 (build 65 at most): a version outside those limits fails the build. The
# product code is a name-based (SHA-1) UUID of the upgrade code, the four-field version and the
# processor, so that a rebuild of one release is the same product, not a second one.
#
# wixl knows no ARM64: the ARM64 installer is built as x64 and its summary's template then set to
# Arm64 with msibuild (the schema, 500, comes from the source). wixl writes rollback actions
# without their execution bits and has no element for removing a registry tree: both are written
# into the built tables here. Anything wixl warns about fails the build: it drops what it cannot
# write and says so only there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../cmake/product.sh"
processor=$1 library=$2 output=$3 version=${4:-$(kx_product VERSION)} folder=${5:-KX Vantorel}
source=$here/kxvantorel.wxs
product=$(kx_product PRODUCT_NAME)
manufacturer=$(kx_product PUBLISHER)
upgrade_code=$(kx_product UPGRADE_CODE)
library_file=$(kx_product LIBRARY_FILE)
fail() { echo "make_msi.sh: $*" >&2; exit 1; }
case $processor in
    x64) template="x64;1033" ;;
    arm64) template="Arm64;1033" ;;
    *) echo "make_msi.sh: processor x64 or arm64, not '$processor'" >&2; exit 2 ;;
esac
[ -f "$library" ] || fail "no library at $library"
[[ $version =~ ^([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,5})\.([0-9]{1,5})$ ]] || fail "version $version is not w.x.y.z"
major=$((10#${BASH_REMATCH[1]})) minor=$((10#${BASH_REMATCH[2]})) build=$((10#${BASH_REMATCH[3]})) revision=$((10#${BASH_REMATCH[4]}))
[ "$major" -le 255 ] && [ "$minor" -le 255 ] || fail "version $version: major and minor are at most 255 in an installer"
[ "$revision" -le 999 ] && [ $((build * 1000 + revision)) -le 65535 ] ||
    fail "version $version: the revision must stay below 1000 and build * 1000 + revision at most 65535"
product_version=$major.$minor.$((build * 1000 + revision))
product_code=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
    "$upgrade_code" "$version;$processor")

epoch=${SOURCE_DATE_EPOCH:-$(date +%s)}
[[ $epoch =~ ^[0-9]{1,12}$ ]] || fail "SOURCE_DATE_EPOCH '$epoch' is not a count of seconds"
clock=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
# (The clock of a caller that runs under faketime itself gives way to this one.)
at_release_time() { env -u LD_PRELOAD -u FAKETIME -u FAKETIME_SHARED TZ=UTC faketime -f "$clock" "$@"; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# wixl takes file sources relative to its working folder only.
cp "$library" "$scratch/$library_file"
touch -d "@$epoch" "$scratch/$library_file"
(cd "$scratch" && at_release_time wixl -a x64 -D ProductName="$product" -D ProductVersion="$product_version" \
    -D ProductCode="$product_code" -D UpgradeCode="$upgrade_code" -D Manufacturer="$manufacturer" \
    -D LibraryFile="$library_file" -D Library="$library_file" -D FolderName="$folder" \
    -o installer.msi "$source") 2>"$scratch/wixl.log"
if [ -s "$scratch/wixl.log" ]; then
    echo "make_msi.sh: wixl reported (an element may have been dropped):" >&2
    cat "$scratch/wixl.log" >&2
    exit 1
fi

# Rollback actions: deferred (0x400) and rollback (0x100) on top of what wixl wrote.
custom_action_type() {
    msiinfo export "$scratch/installer.msi" CustomAction | tr -d '\r' | awk -F'\t' -v a="$1" '$1 == a { print $2 }'
}
queries=()
for action in $(grep -o '<CustomAction Id="[A-Za-z]*"[^>]*Execute="rollback"' "$source" | cut -d'"' -f2); do
    type=$(custom_action_type "$action")
    [ -n "$type" ] || fail "wixl wrote no custom action $action"
    queries+=(-q "UPDATE \`CustomAction\` SET \`Type\` = $((type | 0x500)) WHERE \`Action\` = '$action'")
done
# Removal deletes both trees after the library's own unregistration, whether or not the library
# could still run: Registry rows named "-" delete a key with everything below it when their
# component is removed (root 0: HKEY_CLASSES_ROOT, per machine).
printf '%s\t%s\t%s\t%s\t%s\t%s\r\n' Registry Root Key Name Value Component_ s72 i2 l255 L255 L0 s72 \
    Registry Registry "" "" "" "" \
    RemoveHardwareIdTree 0 "NetworkExplorerPlugins\\$(kx_product HARDWARE_ID)" - "" Library \
    RemoveDeviceTypeTree 0 "NetworkExplorerPlugins\\$(kx_product DEVICE_TYPE)" - "" Library |
    sed 's/\t*\r$//' >"$scratch/Registry.idt"
at_release_time msibuild "$scratch/installer.msi" -i "$scratch/Registry.idt" "${queries[@]}"
set_package_code() { at_release_time msibuild "$scratch/installer.msi" -s "$product" "$manufacturer" "$template" "{$1}"; }
set_package_code 00000000-0000-0000-0000-000000000000
set_package_code "$(python3 -c 'import hashlib, sys, uuid
print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), hashlib.sha256(open(sys.argv[2], "rb").read()).hexdigest())).upper())' \
    "$upgrade_code" "$scratch/installer.msi")"
msiinfo suminfo "$scratch/installer.msi" | grep -qx "Template: $template" ||
    fail "the summary's template is not $template"
mkdir -p "$(dirname "$output")"
mv "$scratch/installer.msi" "$output"
