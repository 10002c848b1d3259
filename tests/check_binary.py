#!/usr/bin/python3
"""Checks the shipped library's outside: it imports system DLLs only, exports exactly the
entry points that the registry and the device-installation framework name, and stays lean.
With --package FOLDER, checks the driver package instead: its INF offers the device to x64 and
ARM64 machines and copies each of them, as the co-installer, a DLL of its own, and each such DLL
that the folder holds is built for that processor and passes."""
import os
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
# The INF's platform extension for each processor (NT<arch>, SourceDisksFiles.<arch>).
PACKAGE_PROCESSORS = {"x64": "amd64", "ARM64": "arm64"}
HARDWARE_ID = "VEN_011A&DEV_0080&REV_01"
INSTALLED_NAME = "KXBL_VNTRTZ71_2_2_0.dll"


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


def values(line):
    """An INF line's comma-separated values after its key, or all of them when it has none."""
    return [value.strip() for value in line.split("=", 1)[-1].split(",")]


def key(line):
    return line.split("=", 1)[0].strip().lower()


def packaged_dll(sections, arch):
    """The package's file that a machine of this processor copies to System32 as its co-installer,
    or why there is none: Manufacturer, the models section for the platform, the install section
    for the platform, its CoInstallers' CopyFiles, SourceDisksFiles.<arch>, as Windows reads them."""
    platform = "nt" + arch
    models = [f"{values(line)[0]}.{platform}".lower() for line in sections.get("manufacturer", [])
              if platform in (value.lower() for value in values(line)[1:])]
    installs = [values(line)[0] for model in models for line in sections.get(model, [])
                if HARDWARE_ID in values(line)[1:]]
    if not installs:
        return None, f"no models section for NT{arch} names {HARDWARE_ID}"
    install = next((name for name in (f"{installs[0]}.NT{arch}", f"{installs[0]}.NT") if name.lower() in sections),
                   installs[0])
    destinations = {key(line): values(line)[0] for line in sections.get("destinationdirs", [])}
    disk_files = {key(line): line.split("=", 1)[0].strip() for line in sections.get(f"sourcedisksfiles.{arch}", [])}
    sources = []
    for line in sections.get(install.lower() + ".coinstallers", []):
        for copy_list in (name.lower() for name in values(line) if key(line) == "copyfiles"):
            system32 = destinations.get(copy_list, destinations.get("defaultdestdir")) == "11"
            for target, *source in map(values, sections.get(copy_list, [])):
                if system32 and target.lower() == INSTALLED_NAME.lower():
                    sources.append(disk_files.get((source[0] if source and source[0] else target).lower()))
    if len(sources) != 1 or sources[0] is None:
        return None, (f"[{install}.CoInstallers] copies no single file of [SourceDisksFiles.{arch}]"
                      f" to System32 as {INSTALLED_NAME}")
    return sources[0], None


def check_package(folder):
    sections = inf_sections(os.path.join(folder, "kxvantorel.inf"))
    status, served, packaged = 0, [], {}
    for processor, arch in PACKAGE_PROCESSORS.items():
        name, failure = packaged_dll(sections, arch)
        if name in packaged.values():
            failure = f"{name} is the DLL that the INF gives another processor"
        if failure:
            print(f"FAIL: {processor} machines get no co-installer: {failure}")
            status = 1
            continue
        packaged[processor] = name
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            continue
        served.append(processor)
        if MACHINES.get(pefile.PE(path, fast_load=True).FILE_HEADER.Machine, ("",))[0] != processor:
            print(f"FAIL: {name} is not an {processor} DLL")
            status = 1
        status |= main(path)
    if not served:
        print("FAIL: the package holds none of the DLLs that its INF names")
        status = 1
    print(f"package for {', '.join(served) or 'nothing'} checked")
    return status


if __name__ == "__main__":
    sys.exit(check_package(sys.argv[2]) if sys.argv[1] == "--package" else main(sys.argv[1]))
