#!/usr/bin/python3
"""Checks the shipped library's outside: it imports system DLLs only, exports exactly the
entry points that the registry and the device-installation framework name, and stays lean.
With --package FOLDER, checks the driver package instead: its INF offers the device to x64 and
ARM64 machines, and each DLL that the INF names there is built for that processor and passes."""
import os
import re
import sys

import pefile

SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "mpr.dll", "msvcrt.dll",
    "ole32.dll", "oleaut32.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "winhttp.dll",
}
EXPECTED_EXPORTS = {
    "CoDeviceInstall", "TarnoD", "ShellCommandOpen", "ShellCommandInstallConnect", "ShellCommandMount", "DllInstall",
}
# Machine type: processor, size limit. The stripped release build is about 117 KB for x64 and
# 136 KB for ARM64 (larger code, and LLVM's C++ runtime); the runtime's verbose terminate handler
# (demangler and printf engine), winpthread or the ARM64 unwinder's exports coming back would
# each push it past its limit. A Debug build keeps its symbols and is not held to it.
MACHINES = {0x8664: ("x64", 140_000), 0xAA64: ("ARM64", 160_000)}
# The INF's decoration for each processor and the section that names the DLL for it.
PACKAGE_PROCESSORS = {"x64": ("NTamd64", "SourceDisksFiles.amd64"), "ARM64": ("NTarm64", "SourceDisksFiles.arm64")}


def main(path):
    image = pefile.PE(path)
    failures = []
    imports = {entry.dll.decode().lower() for entry in image.DIRECTORY_ENTRY_IMPORT}
    for name in sorted(imports - SYSTEM_DLLS):
        failures.append(f"imports a DLL that is not part of Windows: {name}")
    exports = {symbol.name.decode() for symbol in image.DIRECTORY_ENTRY_EXPORT.symbols if symbol.name}
    if exports != EXPECTED_EXPORTS:
        failures.append(f"exports {sorted(exports)}, expected {sorted(EXPECTED_EXPORTS)}")
    processor, max_size = MACHINES.get(image.FILE_HEADER.Machine, (None, 0))
    if processor is None:
        failures.append(f"machine {image.FILE_HEADER.Machine:#x}, neither x64 nor ARM64")
    size = os.path.getsize(path)
    stripped = image.FILE_HEADER.PointerToSymbolTable == 0
    if processor and stripped and size > max_size:
        failures.append(f"{size} bytes, more than {max_size}: has unused runtime come back?")
    for failure in failures:
        print("FAIL:", failure)
    print(f"{processor}: {len(imports)} imports, {len(exports)} exports, {size} bytes checked")
    return 1 if failures else 0


def inf_sections(path):
    sections, lines = {}, None
    with open(path, encoding="utf-8") as inf:
        for line in inf:
            line = line.split(";", 1)[0].strip()
            if line.startswith("[") and line.endswith("]"):
                lines = sections.setdefault(line[1:-1].lower(), [])
            elif line and lines is not None:
                lines.append(line)
    return sections


def check_package(folder):
    sections = inf_sections(os.path.join(folder, "kxvantorel.inf"))
    status, served = 0, []
    decorations = {d.strip().lower() for line in sections.get("manufacturer", []) for d in line.split(",")[1:]}
    for processor, (decoration, files_section) in PACKAGE_PROCESSORS.items():
        names = [re.split(r"\s*=", line)[0] for line in sections.get(files_section.lower(), [])]
        if decoration.lower() not in decorations or len(names) != 1:
            print(f"FAIL: the INF offers no {processor} model ({decoration}) or no single file in [{files_section}]")
            status = 1
            continue
        path = os.path.join(folder, names[0])
        if not os.path.exists(path):
            continue
        served.append(processor)
        if MACHINES.get(pefile.PE(path, fast_load=True).FILE_HEADER.Machine, ("",))[0] != processor:
            print(f"FAIL: {names[0]} is not an {processor} DLL")
            status = 1
        status |= main(path)
    if not served:
        print("FAIL: the package holds none of the DLLs that its INF names")
        status = 1
    print(f"package for {', '.join(served) or 'nothing'} checked")
    return status


if __name__ == "__main__":
    sys.exit(check_package(sys.argv[2]) if sys.argv[1] == "--package" else main(sys.argv[1]))
