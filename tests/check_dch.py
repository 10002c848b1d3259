#!/usr/bin/python3
"""Holds the declarative (DCH) driver package to the rules of Microsoft's signing, section by
section, and names the offending line. The rules come from these pages of
learn.microsoft.com/windows-hardware/drivers:
  install/using-a-universal-inf-file     sections and directives a universal INF may not use;
                                         AddReg below HKR only
  develop/dch-principles-best-practices  declarative: no co-installer, no RegisterDlls
  develop/driver-isolation,
  devtest/infverif_h                     files go to the driver store (DIRID 13)
  devtest/inf-validation-errors-and-warnings
                                         1233 CatalogFile, 1296 a .Services section for each
                                         install section, 1303 CoInstallers32 written by AddReg
  install/inf-addcomponent-directive, install/using-a-component-inf-file,
  install/inf-addsoftware-directive      AddComponent and AddSoftware and where they may stand
Only Windows' InfVerif /h (and /w) applies the whole rule set; this check keeps the package from
drifting between those runs.
    check_dch.py PACKAGE_FOLDER"""
import os
import re
import subprocess
import sys

FORBIDDEN_SECTIONS = re.compile(r"^classinstall32(\..*)?$|\.(coinstallers|factdef|logconfigoverride)$", re.I)
FORBIDDEN_DIRECTIVES = {
    "bitreg", "delfiles", "delproperty", "delreg", "delservice", "ini2reg", "logconfig", "profileitems",
    "registerdlls", "renfiles", "unregisterdlls", "updateinifields", "updateinis",
}
# Values by which an AddReg, even below HKR, registers code that runs during installation.
INSTALLER_VALUES = {"coinstallers32", "installer32", "enumproppages32"}
SYSTEM_CLASSES = {
    "system": "{4d36e97d-e325-11ce-bfc1-08002be10318}",
    "softwarecomponent": "{5c4c3332-344d-483c-8739-259e934c9cc8}",
    "extension": "{e2f84ce7-8efa-411c-aa69-97454ca4cb57}",
}
PROCESSORS = ("ntamd64", "ntarm64")
TEMPLATES = {"ntamd64": "x64;1033", "ntarm64": "Arm64;1033"}


class Inf:
    def __init__(self, path):
        self.name = os.path.basename(path)
        self.sections = {}  # lower-case name: (name as written, [(line number, text)])
        lines = None
        with open(path, encoding="utf-8") as inf:
            for number, line in enumerate(inf, 1):
                line = strip_comment(line).strip()
                if line.startswith("[") and line.endswith("]"):
                    lines = self.sections.setdefault(line[1:-1].lower(), (line[1:-1], []))[1]
                elif line and lines is not None:
                    lines.append((number, line))

    def lines(self, section):
        return self.sections.get(section.lower(), ("", []))[1]

    def entries(self, section):
        """(line number, key, values, text) of each key = value line of the section."""
        for number, text in self.lines(section):
            key, _, value = text.partition("=")
            yield number, key.strip().lower(), fields(value), text

    def value(self, section, key):
        return next((values[0] for _, k, values, _ in self.entries(section) if k == key and values), None)

    def install_section(self, name, decoration):
        """The install section Windows takes for a model on this processor, as Windows picks it."""
        for candidate in (f"{name}.{decoration}", f"{name}.nt", name):
            if candidate.lower() in self.sections:
                return candidate
        return None


def strip_comment(line):
    quoted = False
    for index, character in enumerate(line):
        quoted ^= character == '"'
        if character == ";" and not quoted:
            return line[:index]
    return line


def fields(text):
    return [field.strip().strip('"') for field in text.split(",")]


def check_sections(inf, kind, fail):
    for lower, (name, lines) in inf.sections.items():
        if FORBIDDEN_SECTIONS.search(lower):
            fail(inf, lines[0][0] if lines else 0, name, "", "a universal INF has no such section")
        if lower.startswith("defaultinstall") and not re.match(r"defaultinstall\.nt(amd64|arm64)", lower):
            fail(inf, 0, name, "", "DefaultInstall without a processor decoration")
        for number, key, values, text in inf.entries(name):
            if key in FORBIDDEN_DIRECTIVES:
                fail(inf, number, name, text, f"{key} is not declarative (a universal INF may not use it)")
            elif key == "addreg":
                for section in values:
                    check_addreg(inf, section, fail)
            elif key == "addsoftware" and (kind != "softwarecomponent" or not lower.endswith(".software")):
                fail(inf, number, name, text, "AddSoftware type 1 belongs in a SoftwareComponent INF's DDInstall.Software")
            elif key == "addcomponent" and not lower.endswith(".components"):
                fail(inf, number, name, text, "AddComponent belongs in a DDInstall.Components section")


def check_addreg(inf, section, fail):
    for number, text in inf.lines(section):
        root, _, value_name = (fields(text) + ["", ""])[:3]
        if root.upper() != "HKR":
            fail(inf, number, section, text, f"writes below {root}, not HKR")
        elif value_name.lower() in INSTALLER_VALUES:
            fail(inf, number, section, text, f"registers installer code ({value_name})")


def check_version(inf, fail):
    version = {key: (number, values[0], text) for number, key, values, text in inf.entries("Version") if values}
    for key, wanted in (("pnplockdown", "1"), ("catalogfile", None)):
        number, value, text = version.get(key, (0, None, f"no {key}"))
        if value is None or (wanted and value != wanted):
            fail(inf, number, "Version", text, f"needs {key}" + (f" = {wanted}" if wanted else ""))
    _, class_name, text = version.get("class", (0, "", "no Class"))
    _, guid, _ = version.get("classguid", (0, "", ""))
    if SYSTEM_CLASSES.get(class_name.lower()) != guid.lower():
        fail(inf, version.get("class", (0,))[0], "Version", text,
             "not a class Windows defines (a class of the package's own needs ClassInstall32)")
    return class_name.lower()


def models(inf, fail):
    """(decoration, models section) for each processor the INF serves."""
    served = []
    for number, _, values, text in inf.entries("Manufacturer"):
        for decoration in values[1:]:
            parts = decoration.split(".")
            if len(parts) > 3 and any(parts[3:5]):
                fail(inf, number, "Manufacturer", text, f"{decoration}: no ProductType or SuiteMask in a universal INF")
            # AddComponent and AddSoftware exist from Windows 10 version 1703 (build 15063) on: an
            # older Windows must find no model rather than install a driver that does nothing.
            if parts[1:3] != ["10", "0"] or len(parts) < 6 or not parts[5].isdigit() or int(parts[5]) < 15063:
                fail(inf, number, "Manufacturer", text, f"{decoration}: not limited to Windows 10 build 15063 or later")
            served.append((parts[0].lower(), f"{values[0]}.{decoration}"))
    for decoration in PROCESSORS:
        if decoration not in [d for d, _ in served]:
            fail(inf, 0, "Manufacturer", "", f"serves no {decoration} machine")
    return served


def check_files(inf, fail):
    """The destinations of file copies: the driver store, under the file's own name."""
    store = set()
    for number, key, values, text in inf.entries("DestinationDirs"):
        if values[0] != "13":
            fail(inf, number, "DestinationDirs", text, "files go to the driver store, DIRID 13, only")
        store.add(key)
    for section in store:
        for number, text in inf.lines(section):
            copied = fields(text)
            if len(copied) > 1 and copied[1] and copied[1].lower() != copied[0].lower():
                fail(inf, number, section, text, "renames a file copied to the driver store")
    return store


def check_device(inf, install, fail):
    """The software components that AddComponent makes of the device: their hardware ids. Windows
    enumerates them only below a started parent: a node without a function driver of its own
    needs the pass-through driver (umpass.inf), which a null driver does not replace."""
    for suffix in ("", ".HW", ".Interfaces", ".Services"):
        needs = {(k, v[0].lower()) for _, k, v, _ in inf.entries(install + suffix) if v}
        if not {("include", "umpass.inf"), ("needs", "umpass" + suffix.lower())} <= needs:
            fail(inf, 0, install + suffix, "", f"needs Include = umpass.inf, Needs = UmPass{suffix}: the parent must start")
    section = f"{install}.Components"
    ids = []
    for number, key, values, text in inf.entries(section):
        component_ids = [i for i in next((v for _, k, v, _ in inf.entries(values[2]) if k == "componentids"), [])
                         if i] if key == "addcomponent" and len(values) > 2 else []
        if not component_ids:
            fail(inf, number, section, text, "AddComponent needs a section with ComponentIDs")
        ids += [f"SWC\\{i}" for i in component_ids]
    if not ids:
        fail(inf, 0, section, "", "no software component: the device would get no software")
    return ids


def installer_identity(path):
    """(ProductVersion, summary template) of an installer, or None when it cannot be read."""
    properties = subprocess.run(["msiinfo", "export", path, "Property"], capture_output=True, text=True)
    info = subprocess.run(["msiinfo", "suminfo", path], capture_output=True, text=True)
    if properties.returncode or info.returncode:
        return None
    version = next((line.split("\t")[1] for line in properties.stdout.splitlines() if line.startswith("ProductVersion\t")), "")
    template = next((line[len("Template: "):] for line in info.stdout.splitlines() if line.startswith("Template: ")), "")
    return version.strip(), template.strip()


def check_installer(inf, section, version, path, decoration, fail):
    """Windows runs the installer again only for a greater SoftwareVersion: it must be the
    installer's own release, w.x.y.z, which Windows Installer carries as w.x.(y*1000+z)."""
    if not os.path.exists(path):
        return  # a tree that built one processor's library carries that processor's installer only
    identity = installer_identity(path)
    if identity is None:
        fail(inf, 0, section, os.path.basename(path), "not an installer Windows Installer can read")
        return
    w, x, y, z = map(int, version.split("."))
    if identity != (f"{w}.{x}.{y * 1000 + z}", TEMPLATES[decoration]):
        fail(inf, 0, section, version, f"{os.path.basename(path)} is {identity}, not version {w}.{x}.{y * 1000 + z} "
             f"for {TEMPLATES[decoration]}")


def check_software(inf, install, store, fail, folder, decoration):
    """AddSoftware type 1: an installer copied to the driver store, at a version Windows can compare."""
    section = f"{install}.Software"
    entries = list(inf.entries(section))
    if not entries:
        fail(inf, 0, section, "", "no AddSoftware: the component would install nothing")
    vendor = (inf.value("Strings", "manufacturername") or "?").split()[0]
    copied = {f.lower() for _, k, v, _ in inf.entries(install) if k == "copyfiles" for s in v if s.lower() in store
              for _, t in inf.lines(s) for f in fields(t)[:1]}
    for number, key, values, text in entries:
        if key != "addsoftware" or len(values) < 3:
            fail(inf, number, section, text, "not an AddSoftware directive")
            continue
        if not values[0].startswith(vendor):
            fail(inf, number, section, text, f"the software name does not start with the vendor's, {vendor}")
        software = {k: v[0] for _, k, v, _ in inf.entries(values[2]) if v}
        binary = software.get("softwarebinary", "")
        version = software.get("softwareversion", "")
        if software.get("softwaretype") != "1" or not binary.startswith("%13%\\"):
            fail(inf, number, values[2], text, "needs SoftwareType 1 and a SoftwareBinary in the driver store (%13%)")
        elif binary[5:].lower() not in copied:
            fail(inf, number, values[2], binary, "the install section does not copy it to the driver store")
        if not re.fullmatch(r"\d+\.\d+\.\d+\.\d+", version) or max(map(int, version.split("."))) > 65535:
            fail(inf, number, values[2], version, "SoftwareVersion must be w.x.y.z, each at most 65535")
        elif binary.startswith("%13%\\"):
            check_installer(inf, values[2], version, os.path.join(folder, binary[5:]), decoration, fail)


def check(folder):
    failures = []

    def fail(inf, number, section, text, why):
        failures.append(f"{inf.name}:{number}: [{section}]" + (f" {text}" if text else "") + f": {why}")

    infs = [Inf(os.path.join(folder, name)) for name in sorted(os.listdir(folder)) if name.lower().endswith(".inf")]
    offered, served = set(), set()
    for inf in infs:
        kind = check_version(inf, fail)
        check_sections(inf, kind, fail)
        store = check_files(inf, fail)
        for decoration, section in models(inf, fail):
            for number, _, values, text in inf.entries(section):
                install = inf.install_section(values[0], decoration)
                if install is None or not inf.lines(f"{install}.Services"):
                    fail(inf, number, section, text, "no .Services section for the install section (InfVerif 1296)")
                elif kind == "softwarecomponent":
                    served.update((decoration, i.upper()) for i in values[1:])
                    check_software(inf, install, store, fail, folder, decoration)
                else:
                    offered.update((decoration, i.upper()) for i in check_device(inf, install, fail))
    for decoration, component in sorted(offered - served):
        failures.append(f"no component INF installs {component} on {decoration}")
    installers = sorted(name for name in os.listdir(folder) if name.lower().endswith(".msi"))
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(infs)} INFs checked: {', '.join(i.name for i in infs) or 'none'}; installers: {', '.join(installers) or 'none'}")
    return 1 if failures or len(infs) < 2 or not installers else 0


if __name__ == "__main__":
    sys.exit(check(sys.argv[1]))
