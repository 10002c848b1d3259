#!/usr/bin/env python3
"""Reads a release folder back before it is published, with other tools than the ones that wrote
it: SHA256SUMS names every file and each hash holds (sha256sum); the bill of materials conforms to the
CycloneDX 1.6 schema (validated offline by the CycloneDX library) and its hashes are the files';
each PDB is the one its DLL names (llvm-pdbutil's GUID and age against the DLL's CodeView record,
as llvm-readobj prints it) and the symbol-server tree files both under the keys a debugger asks for.
  verify.py FOLDER      prints each failure; exit status 1 if there is one
"""
import hashlib
import json
import os
import re
import subprocess
import sys

CYCLONEDX = os.environ.get("KX_CYCLONEDX_DIR", "/opt/kx-toolchains/cyclonedx-7.1.0")
VALIDATOR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sbom-validator", "validate.cjs")
PROCESSORS = ("x64", "arm64")


def sha256(path):
    with open(path, "rb") as file:
        return hashlib.file_digest(file, "sha256").hexdigest()


def all_files(folder):
    return sorted(os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/")
                  for root, _, names in os.walk(folder) for name in names)


def checksum_failures(folder):
    """sha256sum checks every line; what remains is that no file goes unlisted."""
    run = subprocess.run(["sha256sum", "--check", "--strict", "--quiet", "SHA256SUMS"], cwd=folder,
                         capture_output=True, text=True)
    failures = [f"SHA256SUMS: {line}" for line in (run.stdout + run.stderr).splitlines()] if run.returncode else []
    with open(os.path.join(folder, "SHA256SUMS"), encoding="utf-8") as sums:
        listed = {line.rstrip("\n").split("  ", 1)[-1] for line in sums}
    return failures + [f"SHA256SUMS names no {path}" for path in all_files(folder)
                       if path != "SHA256SUMS" and path not in listed]


def sbom_failures(folder):
    path = os.path.join(folder, "sbom.cdx.json")
    environment = dict(os.environ, NODE_PATH=os.path.join(CYCLONEDX, "node_modules"))
    run = subprocess.run(["node", VALIDATOR, path], capture_output=True, text=True, env=environment)
    if run.returncode:
        return [f"sbom.cdx.json does not conform to CycloneDX 1.6: {run.stderr.strip()[:2000]}"]
    with open(path, encoding="utf-8") as file:
        components = json.load(file)["components"]
    failures, named = [], set()
    for component in components:
        named.add(component["name"])
        file_path = os.path.join(folder, component["name"])
        digest = component["hashes"][0]["content"]
        if not os.path.isfile(file_path) or sha256(file_path) != digest:
            failures.append(f"sbom.cdx.json: {component['name']} is not there with SHA-256 {digest}")
        if component["name"].endswith(".dll") and not component.get("components"):
            failures.append(f"sbom.cdx.json: {component['name']} names no runtime linked into it")
    shipped = {p for p in all_files(folder) if not p.startswith("symbols/") and p not in ("SHA256SUMS", "sbom.cdx.json")}
    failures += [f"sbom.cdx.json names no {p}" for p in sorted(shipped - named)]
    return failures


def tool(*command):
    run = subprocess.run(command, capture_output=True, text=True)
    if run.returncode:
        sys.exit(f"verify.py: {' '.join(command)} failed: {run.stderr.strip()}")
    return run.stdout


def field(text, name, pattern=r"(\S+)"):
    match = re.search(rf"^\s*{name}: {pattern}", text, re.M)
    if not match:
        sys.exit(f"verify.py: no {name} in the tool's output")
    return match[1]


def symbol_failures(folder, dll_name):
    pdb_name = os.path.splitext(dll_name)[0] + ".pdb"
    failures = []
    for processor in PROCESSORS:
        dll, pdb = (os.path.join(folder, processor, name) for name in (dll_name, pdb_name))
        headers = tool("llvm-readobj-19", "--file-headers", "--coff-debug-directory", dll)
        summary = tool("llvm-pdbutil-19", "dump", "--summary", pdb)
        record = (field(headers, "PDBGUID", r"\{([0-9A-Fa-f-]+)\}").replace("-", "").upper(),
                  int(field(headers, "PDBAge")))
        own = (field(summary, "GUID", r"\{([0-9A-Fa-f-]+)\}").replace("-", "").upper(), int(field(summary, "Age")))
        if record != own:
            failures.append(f"{processor}/{pdb_name} is not its DLL's PDB: {own} against the DLL's {record}")
        if field(headers, "PDBFileName") != pdb_name:
            failures.append(f"{processor}/{dll_name} names its PDB {field(headers, 'PDBFileName')}")
        stamp, size = int(field(headers, "TimeDateStamp", r".*\((0x[0-9A-Fa-f]+)\)"), 0), int(field(headers, "SizeOfImage"))
        keyed = {f"symbols/{dll_name}/{stamp:08X}{size:x}/{dll_name}": dll,
                 f"symbols/{pdb_name}/{own[0]}{own[1]:X}/{pdb_name}": pdb}
        for stored, original in keyed.items():
            full = os.path.join(folder, stored)
            if not os.path.isfile(full) or sha256(full) != sha256(original):
                failures.append(f"the symbol server has no {stored}")
    return failures


def main(folder):
    dll_name = next(name for name in os.listdir(os.path.join(folder, "x64")) if name.endswith(".dll"))
    failures = checksum_failures(folder) + sbom_failures(folder) + symbol_failures(folder, dll_name)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
