#!/usr/bin/python3
"""Reads the built installers' tables back and holds them against the WiX source: wixl drops or
rewrites some elements without failing (custom actions of some forms, After=/Before= placement,
execution flags). Each installer in the folder must carry every custom action with the type,
source and target that the source asks for, at the sequence and under the condition it asks
for; 64-bit components; per-machine installation; its processor's template with schema 500; and
the DLL built for that processor, whose version is the product's.
    check_msi.py WXS MSI_FOLDER"""
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

import pefile

WIX = "{http://schemas.microsoft.com/wix/2006/wi}"
# Custom action types (Windows Installer's CustomAction table): the forms the source uses, and
# the execution flags.
FORMS = {("Property", "ExeCommand"): 50, ("Property", "Value"): 51}
EXECUTE = {None: 0, "immediate": 0, "deferred": 0x400, "rollback": 0x500, "commit": 0x600}
NO_IMPERSONATE, CONTINUE = 0x800, 0x40
COMPONENT_64BIT = 0x100
PROCESSORS = {"x64": ("x64;1033", 0x8664), "arm64": ("Arm64;1033", 0xAA64)}


def table(msi, name):
    """The rows of one table as dictionaries, by msiinfo's own export."""
    text = subprocess.run(["msiinfo", "export", msi, name], capture_output=True, text=True, check=True).stdout
    lines = text.replace("\r", "").split("\n")
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def summary(msi):
    text = subprocess.run(["msiinfo", "suminfo", msi], capture_output=True, text=True, check=True).stdout
    return dict(line.split(": ", 1) for line in text.splitlines() if ": " in line)


def expected_type(action):
    form = next((t for (a, b), t in FORMS.items() if action.get(a) is not None and action.get(b) is not None), None)
    if form is None:
        return None
    deferred = action.get("Execute") not in (None, "immediate")
    return (form | EXECUTE[action.get("Execute")] | (NO_IMPERSONATE if deferred and action.get("Impersonate") == "no" else 0)
            | (CONTINUE if action.get("Return") == "ignore" else 0))


def check_actions(source, msi, fail):
    built = {row["Action"]: row for row in table(msi, "CustomAction")}
    for action in source.iter(WIX + "CustomAction"):
        name, row = action.get("Id"), built.get(action.get("Id"))
        wanted = (expected_type(action), action.get("Property"), action.get("ExeCommand") or action.get("Value"))
        got = row and (int(row["Type"]), row["Source"], row["Target"])
        if got != wanted:
            fail(f"custom action {name}: built {got}, the source asks for {wanted}")
    sequence = {row["Action"]: row for row in table(msi, "InstallExecuteSequence")}
    for step in source.find(f".//{WIX}InstallExecuteSequence"):
        name = step.get("Action") or step.tag.replace(WIX, "")
        wanted = (step.get("Sequence"), (step.text or "").strip())
        got = name in sequence and (sequence[name]["Sequence"], sequence[name]["Condition"])
        if got != wanted:
            fail(f"{name} in InstallExecuteSequence: built {got}, the source asks for {wanted}")


def check_components(source, msi, fail):
    built = {row["Component"]: int(row["Attributes"]) for row in table(msi, "Component")}
    for component in source.iter(WIX + "Component"):
        if component.get("Win64") == "yes" and not built.get(component.get("Id"), 0) & COMPONENT_64BIT:
            fail(f"component {component.get('Id')} is not 64-bit")
    properties = {row["Property"]: row["Value"] for row in table(msi, "Property")}
    if properties.get("ALLUSERS") != "1":
        fail("not per-machine (ALLUSERS is not 1)")
    return properties


def check_library(msi, processor, product_version, fail):
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["msiextract", "-C", folder, msi], capture_output=True, check=True)
        found = [os.path.join(d, f) for d, _, files in os.walk(folder) for f in files if f.lower().endswith(".dll")]
        if len(found) != 1:
            fail(f"holds {len(found)} DLLs, not one")
            return
        image = pefile.PE(found[0])
        if image.FILE_HEADER.Machine != PROCESSORS[processor][1]:
            fail(f"its DLL is for machine {image.FILE_HEADER.Machine:#x}, not {processor}")
        fixed = image.VS_FIXEDFILEINFO[0]
        version = f"{fixed.FileVersionMS >> 16}.{fixed.FileVersionMS & 0xFFFF}.{fixed.FileVersionLS >> 16}.{fixed.FileVersionLS & 0xFFFF}"
        if version != product_version:
            fail(f"product version {product_version}, its DLL's version {version}")


def check(source_path, msi):
    failures = []
    processor = os.path.basename(msi).rsplit("-", 1)[-1][:-4].lower()
    if processor not in PROCESSORS:
        return [f"{msi}: no processor (x64 or arm64) in its name"]
    source = ElementTree.parse(source_path).getroot()
    check_actions(source, msi, failures.append)
    properties = check_components(source, msi, failures.append)
    info = summary(msi)
    if info.get("Template") != PROCESSORS[processor][0]:
        failures.append(f"template {info.get('Template')}, not {PROCESSORS[processor][0]}")
    if not info.get("Version", "").startswith("500 "):
        failures.append(f"schema {info.get('Version')}, not 500")
    check_library(msi, processor, properties.get("ProductVersion"), failures.append)
    return [f"{os.path.basename(msi)}: {failure}" for failure in failures]


def main(source_path, folder):
    installers = sorted(os.path.join(folder, name) for name in os.listdir(folder) if name.endswith(".msi"))
    failures = [failure for msi in installers for failure in check(source_path, msi)]
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(installers)} installers checked: {', '.join(map(os.path.basename, installers)) or 'none'}")
    return 1 if failures or not installers else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
