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
# The stripped release build is about 117 KB; the runtime's verbose terminate handler (demangler
# and printf engine) or winpthread coming back would each push it past this. A Debug build keeps
# its symbols and is not held to it.
MAX_SIZE = 140_000


def main(path):
    image = pefile.PE(path)
    failures = []
    imports = {entry.dll.decode().lower() for entry in image.DIRECTORY_ENTRY_IMPORT}
    for name in sorted(imports - SYSTEM_DLLS):
        failures.append(f"imports a DLL that is not part of Windows: {name}")
    exports = {symbol.name.decode() for symbol in image.DIRECTORY_ENTRY_EXPORT.symbols if symbol.name}
    if exports != EXPECTED_EXPORTS:
        failures.append(f"exports {sorted(exports)}, expected {sorted(EXPECTED_EXPORTS)}")
    if image.FILE_HEADER.Machine != pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]:
        failures.append("not a 64-bit (x64) image")
    size = os.path.getsize(path)
    stripped = image.FILE_HEADER.PointerToSymbolTable == 0
    if stripped and size > MAX_SIZE:
        failures.append(f"{size} bytes, more than {MAX_SIZE}: has unused runtime come back?")
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(imports)} imports, {len(exports)} exports, {size} bytes checked")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
