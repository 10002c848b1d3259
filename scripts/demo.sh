#!/usr/bin/env bash
# The main job: builds the library and plays the device's life against the simulated device
# under Wine, printing what each step did. Output also goes to build/demo-run/demo.log, with the
# screenshots next to it. A step that fails shows its exit status and error output; unless the
# step was expected to fail, the run ends there.
set -Eeuo pipefail
trap 'echo "demo: the main job stopped: the step above failed" >&2' ERR
cd "$(dirname "$0")/.."
# The Mount dialog needs a display: without one, the whole run moves to a private Xvfb server.
if [ -z "${DISPLAY:-}" ]; then
    bash scripts/install-deps.sh
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" "$@"
fi
root=$(pwd)
# Both shipped DLLs, then the packages that hold them (build/); the x64 tree also builds the
# programs that play the device's life.
bash scripts/build.sh arm64-zig kx_library >/dev/null
bash scripts/build.sh x64-clang >/dev/null
bash scripts/build.sh packages >/dev/null
echo "(the trees took $SECONDS s to build)"

build=$root/build-x64-clang
packages=$root/build
out=$packages/demo-run
prefix=$packages/demo-prefix
library=$build/src/KXBL_VNTRTZ71_2_2_0.dll
wine=/usr/lib/wine/wine64
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all KX_WORK_DIR=$out/work
mkdir -p "$out"
log=$out/demo.log
errors=$out/step-errors.log
: >"$log"

say() { printf '%s\n' "$*" | tee -a "$log"; }
# A step's error output is kept aside; when the step fails, its exit status and that output are
# shown, and the status is handed on (an unexpected failure ends the run through set -e).
check_step() {
    local status=$1
    shift
    if [ "$status" -ne 0 ]; then
        { echo "exit status $status: $*"; tr -d '\r' <"$errors"; } | tee -a "$log" >&2
    fi
    return "$status"
}
run() {
    local status=0
    "$@" 2>"$errors" | tr -d '\r' | tee -a "$log" || status=$?
    check_step "$status" "$@"
}

say "== The driver package in build/package/: one INF, a DLL for each processor"
# The machine type in each DLL's header and the processor its version record names.
run /usr/bin/python3 -c '
import os, sys, pefile
processors = {0x8664: "x64", 0xAA64: "ARM64"}
for name in sorted(os.listdir(sys.argv[1]), key=str.lower):
    path = os.path.join(sys.argv[1], name)
    if not name.lower().endswith(".dll"):
        print(name)
        continue
    image = pefile.PE(path)
    record = {k.decode(): v.decode() for info in image.FileInfo[0] for table in getattr(info, "StringTable", [])
              for k, v in table.entries.items()}
    machine = image.FILE_HEADER.Machine
    processor = processors.get(machine, "unknown")
    description, original = record["FileDescription"], record["OriginalFilename"]
    print(f"{name}: machine 0x{machine:04X} ({processor}), {os.path.getsize(path)} bytes, {description}, {original}")
' "$packages/package"
tr -d '\r' <"$packages/package/kxvantorel.inf" | grep -E '^%ManufacturerName%|^\[SourceDisksFiles|^KXBL_VNTRTZ71-[a-z0-9]+\.dll =' |
    tee -a "$log"

say ""
say "== preparing a fresh Wine prefix with the library installed and a simulated device"
bash tests/prefix/setup_prefix.sh "$prefix" "$library" "$build/sim" "$out/work" >/dev/null

# reg.exe writes to a pipe in the console code page.
show_tree() {
    local status=0
    "$wine" reg query "HKCR\\NetworkExplorerPlugins\\$1" /s 2>"$errors" | iconv -f CP437 -t UTF-8 | tr -d '\r' |
        tee -a "$log" || status=$?
    check_step "$status" reg query "HKCR\\NetworkExplorerPlugins\\$1"
}
. cmake/product.sh
device_type=$(kx_product DEVICE_TYPE)
hardware_id=$(kx_product HARDWARE_ID)

say ""
say "== Verb captions the library registers, by UI language"
for locale in C de_DE.UTF-8 fr_FR.UTF-8 ja_JP.UTF-8 zh_TW.UTF-8; do
    say "-- LC_ALL=$locale"
    run env LC_ALL=$locale "$wine" "$build/demo/localization/kx_demo_verb_captions.exe"
done

# The device is installed and removed by the platform's own framework from the driver package
# that the build assembled; kx_package_demo.exe plays the bus that reports the device and reads
# back what the framework did.
package_demo=$build/demo/package/kx_package_demo.exe
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
install_package() { run env LC_ALL=de_DE.UTF-8 "$wine" "$package_demo" install "$(windows_path "$1")" "$hardware_id"; }
network_explorer_keys() {
    "$wine" reg query "HKCR\\NetworkExplorerPlugins\\$device_type" >/dev/null 2>&1 ||
        "$wine" reg query "HKCR\\NetworkExplorerPlugins\\$hardware_id" >/dev/null 2>&1
}
# The prefix set-up put a copy of the library into System32; only the framework's copy may be there.
rm -f "$prefix/drive_c/windows/system32/KXBL_VNTRTZ71_2_2_0.dll"

say ""
say "== Broken driver packages install nothing"
broken=$out/broken-packages
rm -rf "$broken" && mkdir -p "$broken/without-dll" "$broken/other-device"
cp "$packages/package/"*.inf "$broken/without-dll/"
cp "$packages/package/"* "$broken/other-device/"
sed -i "s/${hardware_id//&/\\&}/VEN_011A\\&DEV_0081\\&REV_01/" "$broken/other-device/"*.inf
for case in without-dll other-device; do
    say "-- $case"
    if install_package "$broken/$case"; then
        say "a broken package was installed"
        exit 1
    fi
done
if network_explorer_keys || [ -e "$prefix/drive_c/windows/system32/KXBL_VNTRTZ71_2_2_0.dll" ]; then
    say "a broken package left the co-installer or its keys behind"
    exit 1
fi
say "no Network Explorer key and no co-installer in System32"

say ""
say "== Device installed through the framework from build/package/ (newdev), German UI"
if ! install_package "$packages/package"; then
    say "the device was NOT installed"
    exit 1
fi
show_tree "$hardware_id"
show_tree "$device_type"

say ""
say "== Open and Install Connector"
run "$wine" "$build/demo/verbs/kx_verb_demo.exe" "$library" nas01 "$out/work"

say ""
say "== Shares of the simulated device, and one mapped to a drive letter"
run env WINEDLLOVERRIDES=mpr=n "$wine" "$build/demo/shares/kx_demo_shares.exe"

# Runs the Mount verb in the given UI language and saves a screenshot of the dialog in Done.
mount_in() {
    local locale=$1 shot=$2 flag=$out/work/screenshot-$1.flag status=0
    rm -f "$flag"
    env LC_ALL="$locale" WINEDLLOVERRIDES=mpr=n "$wine" "$build/demo/mount/kx_mount_demo.exe" \
        "kxnas-${locale%%.*}" "$flag" 2>"$errors" | while IFS= read -r line; do
        line=${line%$'\r'}
        if [[ $line == "dialog at "* ]]; then
            read -r _ _ x y w h <<<"$line"
            import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot"
            say "screenshot: $shot"
            touch "$flag"
        else
            say "$line"
        fi
    done || status=$?
    check_step "$status" "Mount in $locale (kx_mount_demo.exe)"
}

say ""
say "== Mount, English UI"
mount_in C "$out/mount-dialog-en.png"
say ""
say "== Mount, German UI"
mount_in de_DE.UTF-8 "$out/mount-dialog-de.png"

say ""
say "== Device removed through the framework (DIF_REMOVE)"
removal_failed=0
run "$wine" "$package_demo" remove "$hardware_id" || removal_failed=1
if network_explorer_keys; then
    say "the Network Explorer keys are still there"
    removal_failed=1
else
    say "both Network Explorer keys are gone"
fi
# Windows, too, leaves a file that an INF copied to System32 when the device or the driver
# package goes.
if [ -e "$prefix/drive_c/windows/system32/KXBL_VNTRTZ71_2_2_0.dll" ]; then
    say "KXBL_VNTRTZ71_2_2_0.dll stays in System32"
fi

# The route without a co-installer: the installers that software distribution deploys, signed
# here with a certificate made for this run only (an integrator signs with theirs).
signing=$out/signing
rm -rf "$signing" && mkdir -p "$signing/signed"
say ""
say "== The installers in build/msi/, signed copies (a throw-away certificate made for this run)"
openssl req -x509 -newkey rsa:3072 -nodes -days 1 -subj "/CN=KX Vantorel throw-away test signer" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$signing/key.pem" -out "$signing/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$signing/key.pem" -in "$signing/cert.pem" -out "$signing/cert.p12" -passout pass:throw-away
cp "$packages/msi/"*.msi "$packages/package/"*.dll "$signing/signed/"
run env KX_SIGN_PKCS12="$signing/cert.p12" KX_SIGN_PASSWORD=throw-away KX_SIGN_CAFILE="$signing/cert.pem" \
    bash scripts/sign.sh "$signing/signed/"*
for msi in "$signing/signed/"*.msi; do
    template=$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')
    version=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" { print $2 }')
    verification=$(osslsigncode verify -CAfile "$signing/cert.pem" -in "$msi" 2>&1 | tr -d '\r')
    signer=$(grep -m1 'Subject:' <<<"$verification" | sed 's/^[[:space:]]*Subject: //')
    verdict=$(grep -m1 '^Signature verification:' <<<"$verification")
    say "$(basename "$msi"): template $template, version $version, $(stat -c %s "$msi") bytes, signed by $signer; $verdict"
done

uninstall_entry() {
    "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
        awk '/^HKEY/ { key = $0 } /DisplayName .*KX Vantorel/ { found = key } { lines[key] = lines[key] $0 "\n" }
             END { if (found != "") printf "%s", lines[found] }' | grep -E 'DisplayName|DisplayVersion|Publisher' || true
}
installer_left=0
installed_library='C:\Program Files\Corvanta\KX Vantorel\KXBL_VNTRTZ71_2_2_0.dll'
x64_installer=$(windows_path "$signing/signed/KXVantorel-x64.msi")
say ""
say "== The signed x64 installer under Wine: msiexec /i ... /qn (per machine)"
run "$wine" msiexec /i "$x64_installer" /qn
say "Apps & features:"
uninstall_entry | tee -a "$log"
show_tree "$hardware_id"
show_tree "$device_type"
say ""
say "== Open and Install Connector, run from the registered verbs"
run "$wine" "$build/demo/verbs/kx_verb_demo.exe" --registered nas02 "$out/work"
say ""
say "== The installer removed: msiexec /x ... /qn"
run "$wine" msiexec /x "$x64_installer" /qn
if network_explorer_keys || [ -n "$(uninstall_entry)" ] ||
    [ -e "$prefix/drive_c/Program Files/Corvanta/KX Vantorel/KXBL_VNTRTZ71_2_2_0.dll" ]; then
    say "the installer left its keys, its entry or $installed_library behind"
    installer_left=1
else
    say "both Network Explorer keys, the Apps & features entry and $installed_library are gone"
fi

# The DCH driver package (build/package-dch/), on a fresh part of the prefix's state: no device
# node with the hardware id, no installed product and no Network Explorer tree left by the steps
# above. Wine has neither AddComponent nor AddSoftware: kx_package_demo.exe reads what Windows
# would read there and runs the installer as Windows runs an AddSoftware type 1 MSI.
dch=$packages/package-dch
dch_installer=$dch/KXVantorel-x64.msi
"$wine" "$package_demo" remove "$hardware_id" >/dev/null 2>&1 || true
"$wine" msiexec /x "$(windows_path "$dch_installer")" /qn >/dev/null 2>&1 || true
for key in "$hardware_id" "$device_type"; do
    "$wine" reg delete "HKCR\\NetworkExplorerPlugins\\$key" /f >/dev/null 2>&1 || true
done

say ""
say "== The DCH driver package in build/package-dch/: the device's INF, its software component's INF, an installer for each processor"
for file in "$dch"/*; do
    say "$(basename "$file"): $(stat -c %s "$file") bytes"
done
tr -d '\r' <"$dch/kxvantorel_dch.inf" | grep -E '^(Class|CatalogFile|PnpLockdown) |^%ManufacturerName%|^Needs|^AddComponent|^ComponentIDs' |
    sed 's/^/kxvantorel_dch.inf: /' | tee -a "$log"
tr -d '\r' <"$dch/kxvantorel_component.inf" | grep -E '^(Class|CatalogFile) |^AddSoftware|^Software' |
    sed 's/^/kxvantorel_component.inf: /' | tee -a "$log"
say "-- the rules of Microsoft's signing (tests/check_dch.py)"
run /usr/bin/python3 tests/check_dch.py "$dch"
say "rules check: passed"

# Wine's framework knows models decorated with a processor only, not with the Windows version
# (10.0...15063) that Windows matches them against: it installs a copy whose INFs name the
# processor alone.
dch_wine=$out/package-dch-wine
rm -rf "$dch_wine" && cp -r "$dch" "$dch_wine"
sed -i 's/\.10\.0\.\.\.15063//g' "$dch_wine"/*.inf
say ""
say "== DCH: device installed through the framework from a copy of build/package-dch/ (newdev; the models' Windows version left out for Wine)"
if ! install_package "$dch_wine"; then
    say "the device was NOT installed"
    exit 1
fi
if network_explorer_keys; then
    say "the device's installation wrote Network Explorer keys"
    exit 1
fi
say "no Network Explorer key yet: nothing of the device's installation ran code of ours"

say ""
say "== DCH: the software component's installer, run as Windows runs it"
run "$wine" "$package_demo" software "$(windows_path "$dch_wine")" "$hardware_id"
show_tree "$hardware_id"
show_tree "$device_type"

say ""
say "== DCH: device removed through the framework (DIF_REMOVE)"
run "$wine" "$package_demo" remove "$hardware_id"
if ! network_explorer_keys; then
    say "the Network Explorer keys went with the device: Windows leaves AddSoftware's software installed"
    exit 1
fi
say "both Network Explorer keys stay: the installer is still installed, as Windows leaves it"

say ""
say "== DCH: the installer removed (msiexec /x, as Programs and Features does)"
run "$wine" msiexec /x "$(windows_path "$dch_installer")" /qn
if network_explorer_keys; then
    say "the Network Explorer keys are still there"
    exit 1
fi
say "both Network Explorer keys are gone"

/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true

# The release a maker publishes, signed here with the run's throw-away certificate: the DLLs are
# signed before the installers and packages are made from them.
release=$packages/release
say ""
say "== The release: bash scripts/release.sh, signed (the throw-away certificate), into build/release/"
run env KX_SIGN_PKCS12="$signing/cert.p12" KX_SIGN_PASSWORD=throw-away KX_SIGN_CAFILE="$signing/cert.pem" \
    bash scripts/release.sh
run cat "$release/SHA256SUMS"
mkdir -p "$signing/embedded"
msiextract -C "$signing/embedded" "$release/msi/KXVantorel-x64.msi" >/dev/null
embedded=$(find "$signing/embedded" -name "$(basename "$library")")
say "the DLL inside msi/KXVantorel-x64.msi: $(osslsigncode verify -CAfile "$signing/cert.pem" -in "$embedded" 2>&1 |
    grep -m1 '^Signature verification:')"

say ""
say "== A crash report names $(basename "$library")+OFFSET: the release's PDB gives function, file and line"
offset=$(/usr/bin/python3 -c '
import pefile, sys
image = pefile.PE(sys.argv[1])
print(hex(next(s.address for s in image.DIRECTORY_ENTRY_EXPORT.symbols if s.name == b"ShellCommandMount") + 0x20))
' "$release/x64/$(basename "$library")")
say "$(basename "$library")+$offset (x64):"
run llvm-symbolizer-19 --obj="$release/x64/$(basename "$library")" --relative-address "$offset"

say ""
say "== The release's bill of materials (sbom.cdx.json, CycloneDX 1.6)"
run /usr/bin/python3 package/release/assemble.py --summary "$release/sbom.cdx.json"

say ""
say "log: $log"
[ "$removal_failed" = 0 ] || { echo "the device was NOT removed" >&2; exit 1; }
[ "$installer_left" = 0 ] || { echo "the installer was NOT removed cleanly" >&2; exit 1; }
