#!/usr/bin/env bash
# Builds the per-machine installer of one processor's library from package/msi/kxvantorel.wxs.
#   make_msi.sh PROCESSOR LIBRARY OUTPUT VERSION MANUFACTURER [FOLDER]
# PROCESSOR is x64 or arm64; FOLDER, the folder below Program Files\Corvanta, is "KX Vantorel"
# unless a test names another. wixl knows no ARM64: the ARM64 installer is built as x64 and its
# summary's template then set to Arm64 with msibuild (the schema, 500, comes from the source).
# Anything wixl warns about fails the build: it drops what it cannot write and says so only there.
set -euo pipefail
processor=$1 library=$2 output=$3 version=$4 manufacturer=$5 folder=${6:-KX Vantorel}
source=$(cd "$(dirname "$0")" && pwd)/kxvantorel.wxs
product="KX Vantorel TZ7100 Network Explorer integration"
case $processor in
    x64) template="x64;1033" ;;
    arm64) template="Arm64;1033" ;;
    *) echo "make_msi.sh: processor x64 or arm64, not '$processor'" >&2; exit 2 ;;
esac
[ -f "$library" ] || { echo "make_msi.sh: no library at $library" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# wixl takes file sources relative to its working folder only.
cp "$library" "$scratch/KXBL_VNTRTZ71_2_2_0.dll"
(cd "$scratch" && wixl -a x64 -D ProductVersion="$version" -D Manufacturer="$manufacturer" \
    -D Library=KXBL_VNTRTZ71_2_2_0.dll -D FolderName="$folder" -o installer.msi "$source") 2>"$scratch/wixl.log"
if [ -s "$scratch/wixl.log" ]; then
    echo "make_msi.sh: wixl reported (an element may have been dropped):" >&2
    cat "$scratch/wixl.log" >&2
    exit 1
fi
if [ "$processor" = arm64 ]; then
    msibuild "$scratch/installer.msi" -s "$product" "$manufacturer" "$template" \
        "{$(tr a-z A-Z </proc/sys/kernel/random/uuid)}"
fi
msiinfo suminfo "$scratch/installer.msi" | grep -qx "Template: $template" ||
    { echo "make_msi.sh: the summary's template is not $template" >&2; exit 1; }
mkdir -p "$(dirname "$output")"
mv "$scratch/installer.msi" "$output"
