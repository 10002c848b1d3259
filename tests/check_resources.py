#!/usr/bin/python3
"""Reads the built library's resources back and checks each against what the library must carry:
string table, icon groups and their images, mount dialog template, version record, manifest.
Every resource is in English (United States) and nothing else is there."""
import struct
import sys
import xml.etree.ElementTree as ElementTree

import pefile

ENGLISH_US = 1033
RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 6, 14, 16, 24
EXPECTED_NAMES = {
    RT_ICON: list(range(1, 15)),
    RT_DIALOG: [104],
    RT_STRING: [7],  # the block of strings 96 to 111
    RT_GROUP_ICON: [101, 102],
    RT_VERSION: [1],
    RT_MANIFEST: [2],
}
EXPECTED_STRINGS = {100: "CorvantaVantorel", 103: "Vantorel TZ7100"}
# Position in the group: (size in pixels, bits per pixel, stored as PNG).
ICON_IMAGES = [(48, 8, False), (32, 8, False), (16, 8, False), (256, 32, True),
               (48, 32, False), (32, 32, False), (16, 32, False)]
ICON_GROUPS = {101: list(range(1, 8)), 102: list(range(8, 15))}
EXPECTED_VERSION_STRINGS = {
    "CompanyName": "Corvanta Corporation",
    "FileVersion": "2.2.0.5",
    "InternalName": "KXBL_VNTRTZ71",
    "LegalCopyright": "Copyright (C) 2026 Corvanta Corporation. All rights reserved.",
    "ProductName": "Vantorel Tarno Driver",
    "ProductVersion": "2.2.0.5",
}
# The strings that name the processor, by the image's machine type (x64, ARM64).
PROCESSOR_VERSION_STRINGS = {
    0x8664: {"FileDescription": "Corvanta Coinstaller Dll (64bit)", "OriginalFilename": "KXBL_VNTRTZ71-x64.dll"},
    0xAA64: {"FileDescription": "Corvanta Coinstaller Dll (ARM64)", "OriginalFilename": "KXBL_VNTRTZ71-arm64.dll"},
}
EXPECTED_FIXED_INFO = {
    "Signature": 0xFEEF04BD, "FileVersionMS": 0x00020002, "FileVersionLS": 0x00000005,
    "ProductVersionMS": 0x00020002, "ProductVersionLS": 0x00000005, "FileFlagsMask": 0x3F,
    "FileFlags": 0, "FileOS": 4, "FileType": 2, "FileSubtype": 0, "FileDateMS": 0, "FileDateLS": 0,
}
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class Resources:
    """type -> name -> list of (language, bytes), duplicates kept."""

    def __init__(self, path):
        self.image = pefile.PE(path)
        self.table = {}
        for type_entry in self.image.DIRECTORY_ENTRY_RESOURCE.entries:
            names = self.table.setdefault(type_entry.id if type_entry.id is not None else str(type_entry.name), {})
            for name_entry in type_entry.directory.entries:
                name = name_entry.id if name_entry.id is not None else str(name_entry.name)
                for language_entry in name_entry.directory.entries:
                    data = language_entry.data.struct
                    names.setdefault(name, []).append(
                        (language_entry.id, self.image.get_data(data.OffsetToData, data.Size)))

    def data(self, type_id, name):
        return self.table[type_id][name][0][1]


def name_order(name):
    return (isinstance(name, str), name)


def check_directory(resources, fail):
    if sorted(resources.table, key=name_order) != sorted(EXPECTED_NAMES):
        fail(f"resource types {sorted(resources.table, key=name_order)}, expected {sorted(EXPECTED_NAMES)}")
    for type_id, expected in EXPECTED_NAMES.items():
        names = resources.table.get(type_id, {})
        if sorted(names, key=name_order) != expected:
            fail(f"type {type_id}: names {sorted(names, key=name_order)}, expected {expected}")
        for name, variants in names.items():
            languages = [language for language, _ in variants]
            if len(languages) > 1:
                fail(f"type {type_id} name {name}: present {len(languages)} times ({languages})")
            elif languages != [ENGLISH_US]:
                fail(f"type {type_id} name {name}: language {languages}, expected {ENGLISH_US}")


def check_strings(resources, fail):
    block = resources.data(RT_STRING, 7)
    offset = 0
    for number in range(96, 112):
        (length,) = struct.unpack_from("<H", block, offset)
        text = block[offset + 2:offset + 2 + 2 * length].decode("utf-16-le")
        offset += 2 + 2 * length
        if text != EXPECTED_STRINGS.get(number, ""):
            fail(f"string {number} is {text!r}, expected {EXPECTED_STRINGS.get(number, '')!r}")


def check_icon_image(data, size, bits, png, where, fail):
    if png:
        width, height, depth, colour_type = struct.unpack_from(">IIBB", data, 16)
        if not data.startswith(PNG_SIGNATURE) or (width, height, depth, colour_type) != (size, size, 8, 6):
            fail(f"{where}: not a {size}x{size} 8-bit RGBA PNG")
        return
    if data.startswith(PNG_SIGNATURE):
        fail(f"{where}: stored as PNG, expected a bitmap")
        return
    header_size, width, height, _, bit_count = struct.unpack_from("<IiiHH", data, 0)
    if (header_size, width, height, bit_count) != (40, size, 2 * size, bits):
        fail(f"{where}: bitmap {width}x{height // 2} at {bit_count} bits, expected {size}x{size} at {bits}")


def check_icons(resources, fail):
    pictures = {}
    for group, image_ids in ICON_GROUPS.items():
        data = resources.data(RT_GROUP_ICON, group)
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        if (reserved, kind, count) != (0, 1, 7) or len(data) != 6 + 14 * count:
            fail(f"icon group {group}: header {(reserved, kind, count)}, {len(data)} bytes")
            continue
        for position, (size, bits, png) in enumerate(ICON_IMAGES):
            width, height, colours, _, planes, bit_count, length, image_id = struct.unpack_from(
                "<BBBBHHIH", data, 6 + 14 * position)
            where = f"icon group {group} position {position + 1}"
            expected = (size % 256, size % 256, 0, 1, bits, image_ids[position])
            if (width, height, colours, planes, bit_count, image_id) != expected:
                fail(f"{where}: entry {(width, height, colours, planes, bit_count, image_id)}, expected {expected}")
            image = resources.table.get(RT_ICON, {}).get(image_id)
            if image is None:
                fail(f"{where}: image {image_id} missing")
                continue
            if len(image[0][1]) != length:
                fail(f"{where}: entry says {length} bytes, image {image_id} has {len(image[0][1])}")
            check_icon_image(image[0][1], size, bits, png, where, fail)
            pictures.setdefault(position, []).append(image[0][1])
    for position, images in pictures.items():
        if len(images) == 2 and images[0] == images[1]:
            fail(f"icon groups 101 and 102 show the same picture at position {position + 1}")


def text(value):
    return value.encode("utf-16-le") + b"\0\0"


def align4(template):
    return template + b"\0" * (-len(template) % 4)


def expected_dialog(list_class):
    header = struct.pack("<HHIIIHhhhh", 1, 0xFFFF, 0, 0, 0x90C808C8, 4, 0, 0, 205, 180)
    header += b"\0\0" + b"\0\0" + text("Mount Shares")
    header += struct.pack("<HHBB", 8, 400, 0, 1) + text("MS Shell Dlg")
    controls = [  # id, class (ordinal or name), text, x, y, width, height, style
        (1, 0x80, "Mount", 142, 159, 50, 14, 0x50010001),
        (2, 0x80, "Cancel", 9, 159, 50, 14, 0x50010000),
        (1002, list_class, "", 7, 18, 275, 129, 0x50810901),
        (1003, 0x82, "Select share(s) to mount from the list below:", 2, 4, 203, 17, 0x50020000),
    ]
    template = header
    for control_id, window_class, caption, x, y, width, height, style in controls:
        template = align4(template)
        template += struct.pack("<IIIhhhhI", 0, 0, style, x, y, width, height, control_id)
        template += struct.pack("<HH", 0xFFFF, window_class) if isinstance(window_class, int) else text(window_class)
        template += text(caption) + b"\0\0"
    return template


def check_dialog(resources, fail):
    # Window classes are matched regardless of case, and GNU windres stores every class name in
    # capitals; both spellings of the list view's class are the same class.
    template = resources.data(RT_DIALOG, 104).replace(text("SysListView32"), text("SYSLISTVIEW32"))
    expected = expected_dialog("SYSLISTVIEW32")
    # The compiler may pad the resource to a multiple of four.
    if template.rstrip(b"\0") != expected.rstrip(b"\0") or len(template) - len(expected) not in range(0, 4):
        at = next((i for i, (a, b) in enumerate(zip(template, expected)) if a != b), min(len(template), len(expected)))
        fail(f"dialog 104 differs from the expected template at byte {at} "
             f"({len(template)} bytes, expected {len(expected)})")


def check_version(resources, fail):
    fixed = resources.image.VS_FIXEDFILEINFO[0]
    for field, value in EXPECTED_FIXED_INFO.items():
        if getattr(fixed, field) != value:
            fail(f"version {field} is {getattr(fixed, field):#x}, expected {value:#x}")
    tables, translations = [], []
    for info in resources.image.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            tables.append((table.LangID.decode(), {k.decode(): v.decode() for k, v in table.entries.items()}))
        for var in getattr(info, "Var", []):
            translations.append(var.entry)
    expected = {**EXPECTED_VERSION_STRINGS, **PROCESSOR_VERSION_STRINGS.get(resources.image.FILE_HEADER.Machine, {})}
    if tables != [("040904e4", expected)]:
        fail(f"version strings {tables}")
    if translations != [{b"Translation": "0x0409 0x04e4"}]:
        fail(f"version translation {translations}")


def check_manifest(resources, fail):
    root = ElementTree.fromstring(resources.data(RT_MANIFEST, 2))
    levels = [(e.get("level"), e.get("uiAccess")) for e in root.iter() if e.tag.endswith("requestedExecutionLevel")]
    if levels != [("asInvoker", "false")]:
        fail(f"manifest execution levels {levels}")
    if any(e.tag.endswith("dependency") for e in root.iter()):
        fail("manifest asks for a dependent assembly")


def main(path):
    failures = []
    resources = Resources(path)
    check_directory(resources, failures.append)
    for check in (check_strings, check_icons, check_dialog, check_version, check_manifest):
        try:
            check(resources, failures.append)
        except (KeyError, IndexError, struct.error, ElementTree.ParseError) as error:
            failures.append(f"{check.__name__}: resource missing or malformed ({error!r})")
    for failure in failures:
        print("FAIL:", failure)
    print(f"{sum(len(n) for n in resources.table.values())} resources checked")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
