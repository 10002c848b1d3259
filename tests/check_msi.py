#!/usr/bin/python3
"""Reads the built installers' tables back and holds them to what an installer of the library must
contain, stated here and not read from the WiX source (wixl drops or rewrites some elements
without failing, and a wrong source would pass a check that trusts it): every custom action with
its type, source and target; the execution sequence's conditions and order (the older release
removed inside the transaction, each machine-changing action preceded by its rollback, the
unregistration before the installer's own removal of the trees); the trees' Registry rows; the
upgrade and downgrade rules; 64-bit components; per-machine installation; the processor's
template with schema 500; and the DLL built for that processor, its version folded into the
product version and the product code named after the release.
    check_msi.py UPGRADE_CODE MSI_FOLDER"""
import os
import subprocess
import sys
import tempfile
import uuid

import pefile

# Custom action types (Windows Installer's CustomAction table).
EXE_FROM_PROPERTY, SET_PROPERTY = 50, 51
IN_SCRIPT, ROLLBACK, NO_IMPERSONATE, CONTINUE = 0x400, 0x100, 0x800, 0x40
REGISTER = '/s /n /i "[#LibraryFile]"'
UNREGISTER = '/s /n /u /i "[#LibraryFile]"'
ACTIONS = {
    "FindRegsvr32": (SET_PROPERTY, "KX_REGSVR32", "[System64Folder]regsvr32.exe"),
    "RepairWhenInstalledAgain": (SET_PROPERTY, "REINSTALL", "ALL"),
    "RegisterLibrary": (EXE_FROM_PROPERTY | IN_SCRIPT | NO_IMPERSONATE, "KX_REGSVR32", REGISTER),
    "UnregisterOnRollback": (EXE_FROM_PROPERTY | IN_SCRIPT | ROLLBACK | NO_IMPERSONATE | CONTINUE, "KX_REGSVR32", UNREGISTER),
    "UnregisterLibrary": (EXE_FROM_PROPERTY | IN_SCRIPT | NO_IMPERSONATE | CONTINUE, "KX_REGSVR32", UNREGISTER),
    "RegisterOnRollback": (EXE_FROM_PROPERTY | IN_SCRIPT | ROLLBACK | NO_IMPERSONATE | CONTINUE, "KX_REGSVR32", REGISTER),
}
CONDITIONS = {
    "RepairWhenInstalledAgain": "Installed AND NOT REMOVE AND NOT REINSTALL",
    "FindRegsvr32": "",
    "RemoveExistingProducts": "",
    "RegisterOnRollback": 'REMOVE="ALL"',
    "UnregisterLibrary": 'REMOVE="ALL"',
    "RemoveRegistryValues": "",
    "UnregisterOnRollback": 'NOT Installed AND NOT REMOVE="ALL"',
    "RegisterLibrary": 'NOT REMOVE="ALL"',
}
# Each pair: the first runs before the second. A rollback action must come right before the
# action it undoes, with nothing between them that changes the machine.
ORDER = [
    ("RepairWhenInstalledAgain", "CostInitialize"), ("CostFinalize", "FindRegsvr32"),
    ("InstallInitialize", "RemoveExistingProducts"), ("RemoveExistingProducts", "ProcessComponents"),
    ("RegisterOnRollback", "UnregisterLibrary"), ("UnregisterLibrary", "RemoveRegistryValues"),
    ("RemoveRegistryValues", "RemoveFiles"), ("InstallFiles", "UnregisterOnRollback"),
    ("PublishProduct", "UnregisterOnRollback"), ("UnregisterOnRollback", "RegisterLibrary"),
    ("RegisterLibrary", "InstallFinalize"),
]
ADJACENT = [("RegisterOnRollback", "UnregisterLibrary"), ("UnregisterOnRollback", "RegisterLibrary")]
# Root 0: HKEY_CLASSES_ROOT; "-": the key and everything below it, deleted when the component goes.
TREES = {
    "NetworkExplorerPlugins\\VEN_011A&DEV_0080&REV_01",
    "NetworkExplorerPlugins\\urn:corvanta-com:device:NetworkAttachedStorage:VNTRTZ71",
}
COMPONENT_64BIT = 0x100
PROCESSORS = {"x64": ("x64;1033", 0x8664), "arm64": ("Arm64;1033", 0xAA64)}


def table(msi, name):
    """The rows of one table as dictionaries, by msiinfo's own export."""
    text = subprocess.run(["msiinfo", "export", msi, name], capture_output=True, text=True).stdout
    lines = text.replace("\r", "").split("\n")
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def summary(msi):
    text = subprocess.run(["msiinfo", "suminfo", msi], capture_output=True, text=True, check=True).stdout
    return dict(line.split(": ", 1) for line in text.splitlines() if ": " in line)


def check_actions(msi, fail):
    built = {row["Action"]: (int(row["Type"]), row["Source"], row["Target"]) for row in table(msi, "CustomAction")}
    for name, wanted in ACTIONS.items():
        if built.get(name) != wanted:
            fail(f"custom action {name}: built {built.get(name)}, wanted {wanted}")
    for name in sorted(set(built) - set(ACTIONS)):
        fail(f"custom action {name} is not one of the installer's")
    sequence = {row["Action"]: (int(row["Sequence"]), row["Condition"]) for row in table(msi, "InstallExecuteSequence")}
    for name, condition in CONDITIONS.items():
        if name not in sequence or sequence[name][1] != condition:
            fail(f"{name} in InstallExecuteSequence: built {sequence.get(name)}, wanted condition '{condition}'")
    for first, second in ORDER:
        if first in sequence and second in sequence and sequence[first][0] >= sequence[second][0]:
            fail(f"{first} ({sequence[first][0]}) does not run before {second} ({sequence[second][0]})")
    for rollback, action in ADJACENT:
        between = [name for name, (number, _) in sequence.items()
                   if rollback in sequence and action in sequence and sequence[rollback][0] < number < sequence[action][0]]
        if between:
            fail(f"{', '.join(sorted(between))} between {rollback} and the action it undoes, {action}")


def check_registry(msi, fail):
    rows = table(msi, "Registry")
    removed = {row["Key"] for row in rows if (row["Root"], row["Name"], row["Value"], row["Component_"]) == ("0", "-", "", "Library")}
    if removed != TREES or len(rows) != len(TREES):
        fail(f"Registry rows {[(r['Root'], r['Key'], r['Name'], r['Value']) for r in rows]}: wanted both trees removed, nothing written")


def check_upgrade(msi, properties, fail):
    version, code = properties.get("ProductVersion"), properties.get("UpgradeCode")
    rows = {(r["UpgradeCode"], r["VersionMin"], r["VersionMax"], r["Attributes"], r["ActionProperty"]) for r in table(msi, "Upgrade")}
    # Older releases (maximum exclusive) are removed; newer ones (minimum exclusive) only detected.
    older = (code, "", version, "1", "WIX_UPGRADE_DETECTED")
    newer = (code, version, "", "2", "WIX_DOWNGRADE_DETECTED")
    if rows != {older, newer}:
        fail(f"Upgrade rows {sorted(rows)}, wanted {sorted([older, newer])}")
    conditions = {row["Condition"] for row in table(msi, "LaunchCondition")}
    if "NOT WIX_DOWNGRADE_DETECTED" not in conditions:
        fail("no launch condition refuses a downgrade")


def check_components(msi, fail):
    for row in table(msi, "Component"):
        if not int(row["Attributes"]) & COMPONENT_64BIT:
            fail(f"component {row['Component']} is not 64-bit")
    properties = {row["Property"]: row["Value"] for row in table(msi, "Property")}
    if properties.get("ALLUSERS") != "1":
        fail("not per-machine (ALLUSERS is not 1)")
    return properties


def library_version(msi, processor, fail):
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["msiextract", "-C", folder, msi], capture_output=True, check=True)
        found = [os.path.join(d, f) for d, _, files in os.walk(folder) for f in files if f.lower().endswith(".dll")]
        if len(found) != 1:
            fail(f"holds {len(found)} DLLs, not one")
            return None
        image = pefile.PE(found[0])
        if image.FILE_HEADER.Machine != PROCESSORS[processor][1]:
            fail(f"its DLL is for machine {image.FILE_HEADER.Machine:#x}, not {processor}")
        fixed = image.VS_FIXEDFILEINFO[0]
        return (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)


def check_identity(msi, processor, upgrade_code, properties, fail):
    """Windows Installer compares three fields: w.x.y.z installs as w.x.(y*1000+z)."""
    version = library_version(msi, processor, fail)
    if version is None:
        return
    w, x, y, z = version
    wanted = f"{w}.{x}.{y * 1000 + z}"
    if properties.get("ProductVersion") != wanted:
        fail(f"product version {properties.get('ProductVersion')}, wanted {wanted} for its DLL's {w}.{x}.{y}.{z}")
    code = "{" + str(uuid.uuid5(uuid.UUID(upgrade_code), f"{w}.{x}.{y}.{z};{processor}")).upper() + "}"
    if properties.get("ProductCode") != code or properties.get("UpgradeCode") != "{" + upgrade_code.upper() + "}":
        fail(f"product {properties.get('ProductCode')} of {properties.get('UpgradeCode')}: wanted {code}, named after the release")


def check(upgrade_code, msi):
    failures = []
    processor = os.path.basename(msi).rsplit("-", 1)[-1][:-4].lower()
    if processor not in PROCESSORS:
        return [f"{msi}: no processor (x64 or arm64) in its name"]
    check_actions(msi, failures.append)
    check_registry(msi, failures.append)
    properties = check_components(msi, failures.append)
    check_upgrade(msi, properties, failures.append)
    info = summary(msi)
    if info.get("Template") != PROCESSORS[processor][0]:
        failures.append(f"template {info.get('Template')}, not {PROCESSORS[processor][0]}")
    if not info.get("Version", "").startswith("500 "):
        failures.append(f"schema {info.get('Version')}, not 500")
    check_identity(msi, processor, upgrade_code, properties, failures.append)
    return [f"{os.path.basename(msi)}: {failure}" for failure in failures]


def main(upgrade_code, folder):
    installers = sorted(os.path.join(folder, name) for name in os.listdir(folder) if name.endswith(".msi"))
    failures = [failure for msi in installers for failure in check(upgrade_code, msi)]
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(installers)} installers checked: {', '.join(map(os.path.basename, installers)) or 'none'}")
    return 1 if failures or not installers else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
