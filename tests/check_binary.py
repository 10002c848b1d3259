#!/usr/bin/python3
"""Checks the shipped library's outside: it imports system DLLs only, exports exactly the
entry points that the registry and the device-installation framework name, and stays lean."""
import os
import sys

import pefile

SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "mpr.dll", "msvcrt.dll",
    "ole32.dll", "oleaut32.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "winhttp.dll",
}
EXPECTED_EXPORTS = {
    "CoDeviceInstall", "TarnoD", "ShellCommandOpen", "ShellCommandInstallConnect", "ShellCommandMount",
}
# Machine type: processor, size limit. The stripped release build is about 117 KB for x64 and
# 136 KB for ARM64 (larger code, and LLVM's C++ runtime); the runtime's verbose terminate handler
# (demangler and printf engine), winpthread or the ARM64 unwinder's exports coming back would
# each push it past its limit. A Debug build keeps its symbols and is not held to it.
MACHINES = {0x8664: ("x64", 140_000), 0xAA64: ("ARM64", 160_000)}


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


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
