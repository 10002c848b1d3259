#!/usr/bin/python3
"""Checks the shipped library's outside: it imports system DLLs only, exports exactly the
entry points that the registry and the device-installation framework name, stays lean, and is
hardened (see hardening_failures). With --objects FOLDER, also checks the library's object files
below FOLDER for the Control Flow Guard feature bit. With --pdb FILE, also checks that the DLL
names FILE without a folder and with the GUID and age that FILE holds. With --package FOLDER, checks the driver
package instead: its INF offers the device to x64 and ARM64 machines and copies each of them, as
the co-installer, a DLL of its own, and each such DLL that the folder holds is built for that
processor and passes."""
import os
import re
import shutil
import struct
import subprocess
import sys
import uuid

import pefile

SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "mpr.dll", "msvcrt.dll",
    "ole32.dll", "oleaut32.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "winhttp.dll",
}
EXPECTED_EXPORTS = {
    "CoDeviceInstall", "TarnoD", "ShellCommandOpen", "ShellCommandInstallConnect", "ShellCommandMount", "DllInstall",
}
# Machine type: processor, size limit. The stripped release build is about 121 KB for x64 and
# 143 KB for ARM64 (larger code, and LLVM's C++ runtime); the runtime's verbose terminate handler
# (demangler and printf engine), winpthread or the ARM64 unwinder's exports coming back would
# each push it past its limit. A Debug build keeps its symbols and is not held to it.
MACHINES = {0x8664: ("x64", 140_000), 0xAA64: ("ARM64", 160_000)}
# The INF's platform extension for each processor (NT<arch>, SourceDisksFiles.<arch>).
PACKAGE_PROCESSORS = {"x64": "amd64", "ARM64": "arm64"}
HARDWARE_ID = "VEN_011A&DEV_0080&REV_01"
INSTALLED_NAME = "KXBL_VNTRTZ71_2_2_0.dll"
# IMAGE_DLLCHARACTERISTICS_* that the DLL must carry.
REQUIRED_DLL_CHARACTERISTICS = {
    0x4000: "GUARD_CF (Control Flow Guard)", 0x0100: "NX_COMPAT", 0x0040: "DYNAMIC_BASE (ASLR)",
    0x0020: "HIGH_ENTROPY_VA",
}
SCN_SHARED, SCN_EXECUTE, SCN_WRITE = 0x10000000, 0x20000000, 0x80000000
# IMAGE_LOAD_CONFIG_DIRECTORY64 (x64 and ARM64): the offsets of the fields checked.
LOAD_CONFIG_FIELDS = {
    "SecurityCookie": 0x58, "GuardCFCheckFunctionPointer": 0x70, "GuardCFDispatchFunctionPointer": 0x78,
    "GuardCFFunctionTable": 0x80, "GuardCFFunctionCount": 0x88,
}
GUARD_FLAGS_OFFSET = 0x90
# A load configuration that ends before GuardFlags is read by Windows as one without the guard.
MIN_LOAD_CONFIG_SIZE = GUARD_FLAGS_OFFSET + 4
GUARD_CF_INSTRUMENTED, GUARD_CF_FUNCTION_TABLE_PRESENT = 0x100, 0x400
# The value of an unset cookie, which the loader replaces with a random one (64-bit Windows).
DEFAULT_SECURITY_COOKIE = 0x2B992DDFA232
IMAGE_DEBUG_TYPE_EX_DLLCHARACTERISTICS, CET_COMPAT = 20, 0x1
# Indirect calls through the guard pointer in the DLL: the library's calls to the UPnP device
# finder's COM objects alone make about ten (calls of imported functions go through the import
# table, which CFG leaves alone). A library compiled without -mguard=cf but linked with the guard
# option has the flags and the tables and none of these; the C++ runtime, not instrumented, has
# none either.
MIN_GUARDED_CALLS = 5
# llvm-objdump prints a rip-relative operand's address after `#`, adrp's page and offsets in hex.
OBJDUMP = "llvm-objdump-19"
X64_POINTER_CALL = re.compile(r"\b(?:call|jmp)\s+qword ptr \[rip [+-] 0x[0-9a-f]+\]\s+# 0x([0-9a-f]+)$", re.M)
ARM64_ADRP = re.compile(r"adrp\s+(x\d+), 0x([0-9a-f]+)\b")
ARM64_ADD = re.compile(r"add\s+(x\d+), (x\d+), #0x([0-9a-f]+)")
ARM64_LDR = re.compile(r"ldr\s+(x\d+), \[(x\d+)(?:, #0x([0-9a-f]+))?\]")
ARM64_BLR = re.compile(r"blr\s+(x\d+)")
FEATURE_GUARD_CF = 0x800
IMAGE_DEBUG_TYPE_CODEVIEW = 2
PDBUTIL = "llvm-pdbutil-19"


def main(path, object_folder=None, pdb=None):
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
    if processor:
        failures += hardening_failures(image, path, processor)
    if object_folder:
        failures += object_failures(object_folder)
    if pdb:
        failures += pdb_failures(image, pdb)
    for failure in failures:
        print("FAIL:", failure)
    print(f"{processor}: {len(imports)} imports, {len(exports)} exports, {size} bytes checked")
    return 1 if failures else 0


def section_of(image, rva):
    return next((section for section in image.sections if section.contains_rva(rva)), None)


def hardening_failures(image, path, processor):
    """What the loader and Windows' analysers look for: NX, ASLR with high entropy and its
    relocations, no section both writable and executable or writable and shared, Control Flow
    Guard with its tables and really instrumented calls, a stack cookie that the loader
    randomises, and (x64) the shadow-stack compatibility flag."""
    failures = []
    characteristics = image.OPTIONAL_HEADER.DllCharacteristics
    failures += [f"DllCharacteristics lacks {name}" for bit, name in REQUIRED_DLL_CHARACTERISTICS.items()
                 if not characteristics & bit]
    relocations = image.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    if image.FILE_HEADER.Characteristics & 0x1 or not relocations.Size:
        failures.append("no base relocations: the loader cannot move the DLL (ASLR)")
    for section in image.sections:
        name, flags = section.Name.rstrip(b"\0").decode(errors="replace"), section.Characteristics
        if flags & SCN_WRITE and flags & (SCN_EXECUTE | SCN_SHARED):
            failures.append(f"section {name} is writable and {'executable' if flags & SCN_EXECUTE else 'shared'}")
    directory = image.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]]
    if not directory.VirtualAddress:
        return failures + ["no load configuration: no Control Flow Guard, no randomised stack cookie"]
    load_config = image.get_data(directory.VirtualAddress, max(directory.Size, MIN_LOAD_CONFIG_SIZE))
    declared_size = struct.unpack_from("<I", load_config)[0]
    if declared_size != directory.Size or declared_size < MIN_LOAD_CONFIG_SIZE:
        return failures + [f"load configuration of {declared_size:#x} bytes (directory: {directory.Size:#x}), "
                           f"expected the same size, at least {MIN_LOAD_CONFIG_SIZE:#x}"]
    fields = {name: struct.unpack_from("<Q", load_config, offset)[0] for name, offset in LOAD_CONFIG_FIELDS.items()}
    guard_flags = struct.unpack_from("<I", load_config, GUARD_FLAGS_OFFSET)[0]
    failures += guard_pointer_failures(image, fields, processor)
    failures += function_table_failures(image, fields, guard_flags)
    failures += cookie_failures(image, fields["SecurityCookie"])
    if processor == "x64" and not extended_characteristics(image) & CET_COMPAT:
        failures.append("not marked CET-compatible (shadow stacks) in the extended DLL characteristics")
    guarded = guarded_calls(path, processor, fields)
    if guarded < MIN_GUARDED_CALLS:
        failures.append(f"{guarded} indirect calls through the guard pointer, expected at least {MIN_GUARDED_CALLS}: "
                        "is the code compiled without -mguard=cf?")
    return failures


def guard_pointer_failures(image, fields, processor):
    """The guard pointers lie in a read-only section and point at code (the stand-ins that a
    Windows enforcing CFG replaces)."""
    names = ["GuardCFCheckFunctionPointer"] + (["GuardCFDispatchFunctionPointer"] if processor == "x64" else [])
    failures = []
    base = image.OPTIONAL_HEADER.ImageBase
    for name in names:
        section = section_of(image, fields[name] - base) if fields[name] else None
        if section is None or section.Characteristics & SCN_WRITE:
            failures.append(f"{name} is {fields[name]:#x}, not a read-only pointer of the DLL")
            continue
        target = section_of(image, image.get_qword_at_rva(fields[name] - base) - base)
        if target is None or not target.Characteristics & SCN_EXECUTE:
            failures.append(f"{name} does not point at code")
    return failures


def function_table_failures(image, fields, guard_flags):
    """Instrumented, with a function table that holds every export: the valid targets of an
    indirect call; rundll32 and the installation host call the exports indirectly."""
    failures = []
    for bit, name in ((GUARD_CF_INSTRUMENTED, "instrumented"), (GUARD_CF_FUNCTION_TABLE_PRESENT, "function table")):
        if not guard_flags & bit:
            failures.append(f"GuardFlags {guard_flags:#x} lacks {name} ({bit:#x})")
    table, count = fields["GuardCFFunctionTable"], fields["GuardCFFunctionCount"]
    if not table or not count:
        return failures + ["no Control Flow Guard function table"]
    stride = 4 + (guard_flags >> 28 & 0xF)
    data = image.get_data(table - image.OPTIONAL_HEADER.ImageBase, stride * count)
    targets = {struct.unpack_from("<I", data, i * stride)[0] for i in range(count)}
    missing = sorted(symbol.name.decode() for symbol in image.DIRECTORY_ENTRY_EXPORT.symbols
                     if symbol.name and symbol.address not in targets)
    if missing:
        failures.append(f"exports missing from the Control Flow Guard function table: {', '.join(missing)}")
    return failures


def cookie_failures(image, cookie):
    section = section_of(image, cookie - image.OPTIONAL_HEADER.ImageBase) if cookie else None
    if section is None or not section.Characteristics & SCN_WRITE:
        return [f"SecurityCookie is {cookie:#x}, not a writable variable of the DLL"]
    value = image.get_qword_at_rva(cookie - image.OPTIONAL_HEADER.ImageBase)
    if value != DEFAULT_SECURITY_COOKIE:
        return [f"the stack cookie holds {value:#x}, not the default {DEFAULT_SECURITY_COOKIE:#x} that the loader "
                "replaces: it would stay as it is"]
    return []


def extended_characteristics(image):
    for entry in getattr(image, "DIRECTORY_ENTRY_DEBUG", []):
        if entry.struct.Type == IMAGE_DEBUG_TYPE_EX_DLLCHARACTERISTICS and entry.struct.SizeOfData >= 4:
            return image.get_dword_at_rva(entry.struct.AddressOfRawData)
    return 0


def guarded_calls(path, processor, fields):
    """Calls through the guard pointer in the code, as llvm-objdump reads it: on x64 `call`/`jmp
    qword ptr [rip + d]` on the dispatch pointer; on ARM64 each `blr` of a register loaded from the
    check pointer (adrp, then ldr or add+ldr) until another instruction names that register."""
    if shutil.which(OBJDUMP) is None:
        sys.exit(f"FAIL: {OBJDUMP}, which reads the DLL's code, is missing: install the Debian package llvm-19")
    run = subprocess.run([OBJDUMP, "-d", "--no-show-raw-insn", "--no-leading-addr", path]
                         + (["-M", "intel"] if processor == "x64" else []), capture_output=True, text=True)
    if run.returncode:
        sys.exit(f"FAIL: {OBJDUMP} cannot read {path}: {run.stderr.strip()}")
    if processor == "x64":
        pointer = fields["GuardCFDispatchFunctionPointer"]
        return sum(int(address, 16) == pointer for address in X64_POINTER_CALL.findall(run.stdout))
    pointer, pages, holding, count = fields["GuardCFCheckFunctionPointer"], {}, set(), 0
    for line in map(str.strip, run.stdout.splitlines()):
        if call := ARM64_BLR.fullmatch(line):
            count += call[1] in holding
            continue
        holding -= {"x" + number for number in re.findall(r"\b[xw](\d+)\b", line)}
        if page := ARM64_ADRP.match(line):
            pages[page[1]] = int(page[2], 16)
        elif (add := ARM64_ADD.fullmatch(line)) and add[2] in pages:
            pages[add[1]] = pages[add[2]] + int(add[3], 16)
        elif (load := ARM64_LDR.fullmatch(line)) and pages.get(load[2], -1) + int(load[3] or "0", 16) == pointer:
            holding.add(load[1])
    return count


def object_failures(folder):
    """Every object file of the library that holds code carries @feat.00's Control Flow Guard
    bit: its code was compiled with the checks, not only linked with the guard option."""
    objects = [os.path.join(root, name) for root, _, names in os.walk(folder) for name in names
               if name.endswith((".obj", ".o"))]
    if not objects:
        return [f"no object files below {folder}"]
    return [f"object compiled without Control Flow Guard: {os.path.relpath(path, folder)}"
            for path in sorted(objects) if not guard_feature_or_no_code(path)]


def guard_feature_or_no_code(path):
    """True when the COFF object holds no code (a compiled resource script) or when its
    @feat.00 symbol has the Control Flow Guard bit."""
    with open(path, "rb") as stream:
        data = stream.read()
    sections, _, symbols, count, optional_size = struct.unpack_from("<HIIIH", data, 2)
    if not any(struct.unpack_from("<I", data, 20 + optional_size + 40 * i + 36)[0] & 0x20 for i in range(sections)):
        return True
    index = 0
    while index < count:
        name, value, _, _, _, aux = struct.unpack_from("<8sIhHBB", data, symbols + 18 * index)
        if name == b"@feat.00":
            return bool(value & FEATURE_GUARD_CF)
        index += 1 + aux
    return False


def codeview_record(image):
    """The DLL's RSDS record: (GUID, age, PDB name), or None."""
    for entry in getattr(image, "DIRECTORY_ENTRY_DEBUG", []):
        if entry.struct.Type == IMAGE_DEBUG_TYPE_CODEVIEW and entry.struct.SizeOfData >= 25:
            data = image.get_data(entry.struct.AddressOfRawData, entry.struct.SizeOfData)
            if data[:4] == b"RSDS":
                name = data[24:].split(b"\0", 1)[0].decode(errors="replace")
                return str(uuid.UUID(bytes_le=data[4:20])).upper(), struct.unpack_from("<I", data, 20)[0], name
    return None


def pdb_failures(image, pdb):
    """A debugger finds the PDB by the name in the DLL's CodeView record, in a symbol path or beside
    the DLL, and takes it only if its GUID and age are the record's: a folder in that name would
    publish the build machine's layout, and a PDB from another link is refused."""
    record = codeview_record(image)
    if record is None:
        return ["no CodeView (RSDS) debug-directory record: the DLL names no PDB"]
    guid, age, name = record
    failures = []
    if re.search(r"[\\/:]", name):
        failures.append(f"the CodeView record names the PDB with folders: {name}")
    elif name.lower() != os.path.basename(pdb).lower():
        failures.append(f"the CodeView record names {name}, not {os.path.basename(pdb)}")
    if not os.path.isfile(pdb):
        return failures + [f"the PDB {pdb} is missing: was the DLL linked with its symbols?"]
    if shutil.which(PDBUTIL) is None:
        sys.exit(f"FAIL: {PDBUTIL}, which reads the PDB, is missing: install the Debian package llvm-19")
    run = subprocess.run([PDBUTIL, "dump", "--summary", pdb], capture_output=True, text=True)
    pdb_guid = re.search(r"^\s*GUID: \{([0-9A-Fa-f-]+)\}", run.stdout, re.M)
    pdb_age = re.search(r"^\s*Age: (\d+)", run.stdout, re.M)
    if run.returncode or not pdb_guid or not pdb_age:
        return failures + [f"{PDBUTIL} cannot read {pdb}: {run.stderr.strip() or 'no GUID and age'}"]
    if (pdb_guid[1].upper(), int(pdb_age[1])) != (guid, age):
        failures.append(f"{pdb} is not this DLL's PDB: it has GUID {{{pdb_guid[1].upper()}}} age {pdb_age[1]}, "
                        f"the DLL's record {{{guid}}} age {age}")
    return failures


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
    if sys.argv[1] == "--package":
        sys.exit(check_package(sys.argv[2]))
    options = dict(zip(sys.argv[2::2], sys.argv[3::2]))
    sys.exit(main(sys.argv[1], options.get("--objects"), options.get("--pdb")))
