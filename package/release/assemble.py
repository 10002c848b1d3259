#!/usr/bin/env python3
"""Completes a release folder that scripts/release.sh has filled with the shipped files:
  x64/ arm64/        each processor's DLL and its PDB
  msi/ package/ package-dch/   the installers and both driver packages
and adds what a maker publishes beside them:
  symbols/           a symbol-server tree: <dll>/<TimeDateStamp><SizeOfImage>/<dll> and
                     <pdb>/<GUID><age>/<pdb>, the paths a debugger asks a symbol server for
  sbom.cdx.json      a CycloneDX 1.6 bill of materials: every shipped file with its SHA-256, the
                     runtime code linked into each DLL, the tools that built and packed them
  SHA256SUMS         every file of the folder, in the form sha256sum -c reads
Everything written is a function of the files and of the installed tools: the time is
SOURCE_DATE_EPOCH's, the serial number a name-based UUID of the files' hashes.
  assemble.py FOLDER            (KX_VERSION, KX_PUBLISHER, KX_PRODUCT_NAME, KX_UPGRADE_CODE,
                                 SOURCE_DATE_EPOCH and KX_SIGNED from the environment)
  assemble.py --summary SBOM    what a bill of materials holds, in a few lines
"""
import datetime
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import uuid

import pefile

PROCESSORS = ("x64", "arm64")
MACHINES = {0x8664: "x64", 0xAA64: "arm64"}
IMAGE_DEBUG_TYPE_CODEVIEW = 2
GCC_LICENCE = "GPL-3.0-or-later WITH GCC-exception-3.1"
LLVM_LICENCE = "Apache-2.0 WITH LLVM-exception"
ZIG_HOME = os.path.join(os.environ.get("KX_ZIG_DIR", "/opt/kx-toolchains/zig-0.11.0"),
                        "node_modules", "@ryoppippi", "zig-linux-x64")
# The Debian packages whose programs build, pack and sign a release.
TOOL_PACKAGES = ("clang-19", "lld-19", "llvm-19", "binutils-mingw-w64-x86-64", "cmake", "wixl", "msitools",
                 "faketime")


def sha256(path):
    with open(path, "rb") as file:
        return hashlib.file_digest(file, "sha256").hexdigest()


def shipped_files(folder):
    """Every file below FOLDER, as sorted '/'-separated relative paths."""
    found = []
    for root, _, names in os.walk(folder):
        found += [os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/") for name in names]
    return sorted(found)


def deb_package(name):
    """A Debian package's version and architecture, as the tool's component."""
    run = subprocess.run(["dpkg-query", "-W", "-f", "${Version}\t${Architecture}", name],
                         capture_output=True, text=True)
    if run.returncode or "\t" not in run.stdout:
        sys.exit(f"assemble.py: the Debian package {name} is not installed")
    version, architecture = run.stdout.split("\t")
    return {"type": "application", "name": name, "version": version,
            "purl": f"pkg:deb/debian/{name}@{version}?arch={architecture}&distro=debian-12"}


def header_define(relative, name):
    """A #define's value from a header of Zig's bundled runtime."""
    with open(os.path.join(ZIG_HOME, "lib", relative), encoding="utf-8") as header:
        for line in header:
            words = line.replace("#", " ").split()
            if words[:2] == ["define", name]:
                return words[2]
    sys.exit(f"assemble.py: {relative} in Zig defines no {name}")


def zig_version():
    return subprocess.run([os.path.join(ZIG_HOME, "zig"), "version"], capture_output=True, text=True,
                          check=True).stdout.strip()


def library(name, version, licence=None, purl=None, description=None):
    component = {"type": "library", "name": name, "version": version}
    if description:
        component["description"] = description
    if licence:
        component["licenses"] = [{"expression": licence}]
    if purl:
        component["purl"] = purl
    return component


def runtime_of(processor):
    """The runtime code the toolchain of PROCESSOR links statically into the DLL."""
    if processor == "x64":
        crt, gcc = deb_package("mingw-w64-x86-64-dev"), deb_package("g++-mingw-w64-x86-64-win32")
        return [
            library("mingw-w64 CRT", crt["version"], purl=crt["purl"],
                    description="DLL start-up (dllcrt2.o) and libmingw32: TLS, pseudo-relocations, atexit"),
            library("libstdc++", gcc["version"], GCC_LICENCE, gcc["purl"],
                    description="libsupc++ of GCC 12 (Win32 threads): exceptions, RTTI, operator new"),
            library("libgcc", gcc["version"], GCC_LICENCE, gcc["purl"],
                    description="crtbegin.o, crtend.o and the SEH unwinder of libgcc_eh"),
        ]
    digits = header_define("libcxx/include/__config", "_LIBCPP_VERSION")
    llvm = f"{int(digits) // 10000}.{int(digits) // 100 % 100}.{int(digits) % 100}"
    mingw = ".".join(header_define("libc/include/any-windows-any/_mingw_mac.h", f"__MINGW64_VERSION_{part}")
                     for part in ("MAJOR", "MINOR", "BUGFIX"))
    zig = zig_version()
    return [
        library("mingw-w64 CRT", mingw, description=f"as bundled with Zig {zig}: DLL start-up and libmingw32"),
        library("libc++", llvm, LLVM_LICENCE, description=f"as bundled with Zig {zig}"),
        library("libc++abi", llvm, LLVM_LICENCE, description=f"as bundled with Zig {zig}: exceptions, RTTI"),
        library("libunwind", llvm, LLVM_LICENCE, description=f"as bundled with Zig {zig}: the unwinder"),
        library("compiler_rt", zig, "MIT", description=f"Zig {zig}'s own compiler runtime"),
    ]


def codeview_key(path):
    """The PDB's symbol-server key (GUID and age) from the DLL's CodeView record."""
    image = pefile.PE(path, fast_load=True)
    image.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DEBUG"]])
    for entry in getattr(image, "DIRECTORY_ENTRY_DEBUG", []):
        if entry.struct.Type == IMAGE_DEBUG_TYPE_CODEVIEW:
            data = image.get_data(entry.struct.AddressOfRawData, entry.struct.SizeOfData)
            if data[:4] == b"RSDS" and len(data) >= 24:
                guid = uuid.UUID(bytes_le=data[4:20]).hex.upper()
                return f"{guid}{struct.unpack_from('<I', data, 20)[0]:X}"
    sys.exit(f"assemble.py: {path} has no CodeView record: built without its symbols?")


def image_key(path):
    header = pefile.PE(path, fast_load=True)
    return f"{header.FILE_HEADER.TimeDateStamp:08X}{header.OPTIONAL_HEADER.SizeOfImage:x}"


def add_symbol_store(folder, dll_name, pdb_name):
    for processor in PROCESSORS:
        dll = os.path.join(folder, processor, dll_name)
        for name, key in ((dll_name, image_key(dll)), (pdb_name, codeview_key(dll))):
            target = os.path.join(folder, "symbols", name, key)
            os.makedirs(target)
            shutil.copyfile(os.path.join(folder, processor, name), os.path.join(target, name))


def file_component(folder, path, kind="file"):
    return {"type": kind, "bom-ref": path, "name": path,
            "hashes": [{"alg": "SHA-256", "content": sha256(os.path.join(folder, path))}]}


def sbom(folder, files, facts):
    product = {"type": "application", "bom-ref": "product", "name": facts["KX_PRODUCT_NAME"],
               "version": facts["KX_VERSION"], "supplier": {"name": facts["KX_PUBLISHER"]}}
    components, dependencies = [], [{"ref": "product", "dependsOn": []}]
    for path in files:
        component = file_component(folder, path)
        if path.endswith(".dll"):
            processor = MACHINES[pefile.PE(os.path.join(folder, path), fast_load=True).FILE_HEADER.Machine]
            component.update(type="library", version=facts["KX_VERSION"])
            component["components"] = runtime_of(processor)
            for runtime in component["components"]:
                runtime["bom-ref"] = f"{path}#{runtime['name']}"
            dependencies[0]["dependsOn"].append(path)
        components.append(component)
    tools = [deb_package(name) for name in TOOL_PACKAGES]
    tools.append({"type": "application", "name": "zig", "version": zig_version()})
    if facts.get("KX_SIGNED"):
        tools.append(deb_package("osslsigncode"))
    serial = uuid.uuid5(uuid.UUID(facts["KX_UPGRADE_CODE"]), "".join(c["hashes"][0]["content"] for c in components))
    moment = datetime.datetime.fromtimestamp(int(facts["SOURCE_DATE_EPOCH"]), datetime.timezone.utc)
    return {"bomFormat": "CycloneDX", "specVersion": "1.6", "serialNumber": f"urn:uuid:{serial}", "version": 1,
            "metadata": {"timestamp": moment.strftime("%Y-%m-%dT%H:%M:%SZ"), "lifecycles": [{"phase": "build"}],
                         "tools": {"components": tools}, "component": product,
                         "manufacturer": {"name": facts["KX_PUBLISHER"]}},
            "components": components, "dependencies": dependencies}


def assemble(folder):
    names = ("KX_VERSION", "KX_PUBLISHER", "KX_PRODUCT_NAME", "KX_UPGRADE_CODE", "KX_LIBRARY_FILE",
             "SOURCE_DATE_EPOCH")
    missing = [name for name in names if not os.environ.get(name)]
    if missing:
        sys.exit(f"assemble.py: {', '.join(missing)} not set (scripts/release.sh sets them)")
    facts = {name: os.environ[name] for name in names + ("KX_SIGNED",) if name in os.environ}
    dll = facts["KX_LIBRARY_FILE"]
    files = shipped_files(folder)
    add_symbol_store(folder, dll, os.path.splitext(dll)[0] + ".pdb")
    with open(os.path.join(folder, "sbom.cdx.json"), "w", encoding="utf-8", newline="\n") as out:
        json.dump(sbom(folder, files, facts), out, indent=1, ensure_ascii=False)
        out.write("\n")
    with open(os.path.join(folder, "SHA256SUMS"), "w", encoding="utf-8", newline="\n") as out:
        out.writelines(f"{sha256(os.path.join(folder, path))}  {path}\n" for path in shipped_files(folder)
                       if path != "SHA256SUMS")


def summary(path):
    with open(path, encoding="utf-8") as file:
        bom = json.load(file)
    product = bom["metadata"]["component"]
    print(f"CycloneDX {bom['specVersion']} {bom['serialNumber']}: {product['name']} {product['version']}, "
          f"made {bom['metadata']['timestamp']}")
    for component in bom["components"]:
        runtime = ", ".join(f"{c['name']} {c['version']}" for c in component.get("components", []))
        print(f"  {component['name']}  sha256 {component['hashes'][0]['content'][:16]}…"
              + (f"\n      links: {runtime}" if runtime else ""))
    tools = bom["metadata"]["tools"]["components"]
    print("  built with: " + ", ".join(f"{t['name']} {t['version']}" for t in tools))


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--summary":
        summary(sys.argv[2])
    elif len(sys.argv) == 2:
        assemble(sys.argv[1])
    else:
        sys.exit(__doc__)
