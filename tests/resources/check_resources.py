#!/usr/bin/env python3
"""Checks the resources that the built executable carries, read back from the
binary itself (through pefile) rather than from the resource script: the
dialog template against res/resource.h, where its geometry and styles are
defined once; the icon group and its images; the version record; the
manifest.

    check_resources.py executable CC EXE ICO RESDIR
        the executable's resources; CC is the cross compiler, whose
        preprocessor gives resource.h's styles their values;
    check_resources.py icon RESDIR
        make_icon.py still draws the committed icon, byte for byte.

Each failure is printed on its own line; the exit status is 1 if any.
"""
import re
import struct
import subprocess
import sys
import tempfile
import os
import xml.etree.ElementTree as ElementTree

import pefile

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
LANG_EN_US = 1033
BUTTON, EDIT = 0x80, 0x81  # atoms of the predefined classes

# Everything the executable holds, and nothing else: (type, name, language).
INVENTORY = sorted([(RT_ICON, n, LANG_EN_US) for n in range(1, 7)] + [
    (RT_DIALOG, 101, LANG_EN_US), (RT_GROUP_ICON, 102, LANG_EN_US),
    (RT_VERSION, 1, LANG_EN_US), (RT_MANIFEST, 1, LANG_EN_US)])

# The template's fixed parts; its caption, font, size, styles, rectangles
# and texts come from resource.h. Controls in tab order: identifier, class,
# and the prefix of their text, style and rectangle there. A class given by name is compared
# without regard to case, as the window manager does (the resource compiler
# stores it in capitals).
DIALOG = dict(exstyle=0, count=6, x=0, y=0, menu="", cls="")
CONTROLS = [
    ("IDC_TREE", "SysTreeView32", "TREE"),
    ("IDC_FRAME", BUTTON, "FRAME"),
    ("IDC_DESCRIPTION", EDIT, "DESCRIPTION"),
    ("IDC_COMMAND", EDIT, "COMMAND"),
    ("IDOK", BUTTON, "RUN"),
    ("IDCANCEL", BUTTON, "CLOSE"),
]
# width, height, colour count (0 for 256), bits per pixel.
ICONS = sorted([(16, 16, 16, 4), (32, 32, 16, 4), (48, 48, 16, 4),
                (16, 16, 0, 8), (32, 32, 0, 8), (48, 48, 0, 8)])

FIXED_VERSION = [("signature", 0xFEEF04BD), ("structure version", 0x00010000),
                 ("file version high", 0x00010001), ("file version low", 0),
                 ("product version high", 0x00010001), ("product version low", 0),
                 ("flags mask", 0x3F), ("flags", 0), ("os (VOS__WINDOWS32)", 0x00000004),
                 ("type (VFT_APP)", 1), ("subtype", 0), ("date high", 0), ("date low", 0)]
VERSION_STRINGS = {"FileVersion": "1.10", "ProductVersion": "1.10", "OriginalFilename": "quorlan.exe"}
DESCRIPTIVE_STRINGS = ["Comments", "CompanyName", "FileDescription", "InternalName",
                       "LegalCopyright", "LegalTrademarks", "ProductName"]

ASM = "{urn:schemas-microsoft-com:asm.v1}"
COMMON_CONTROLS = {"type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
                   "publicKeyToken": "6595b64144ccf1df", "language": "*"}
# The manifest's processor for each machine type of the PE header: the
# loader binds the common controls of that processor only.
MANIFEST_PROCESSOR = {0x014C: "X86", 0x8664: "amd64"}


def ReadHeader(cc, resdir):
    """{name: value} of resource.h's identifiers, sizes, rectangles and
    styles, as the cross compiler's preprocessor expands them."""
    names = ["MAIN_SIZE", "MAIN_STYLE", "MAIN_CAPTION", "MAIN_FONT"] + [c[0] for c in CONTROLS]
    names += [c[2] + suffix for c in CONTROLS for suffix in ("_STYLE", "_RECT", "_TEXT")]
    source = "#include <windows.h>\n#include <commctrl.h>\n#include \"resource.h\"\n"
    source += "".join("value_%s = (%s);\n" % (name, name) for name in names)
    out = subprocess.run([cc, "-E", "-P", "-x", "c", "-I", resdir, "-"], input=source, check=True,
                         capture_output=True, text=True).stdout
    values = {}
    for line in out.splitlines():
        match = re.match(r"^value_([A-Z_]+) = (.*);$", line)
        if match and match.group(1) in names:
            expression = re.sub(r"\b(0x[0-9a-fA-F]+|\d+)[uUlL]*\b", r"\1", match.group(2))
            values[match.group(1)] = eval(expression, {})
    return values


def ReadString(data, offset):
    """A NUL-terminated UTF-16 string and the offset after it."""
    end = offset
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def Align4(offset):
    return (offset + 3) & ~3


# ---- checks --------------------------------------------------------------

def ReadSzOrOrd(data, offset):
    """A template's menu, class or title field: "" when absent, an atom as a
    number, else the string."""
    first = struct.unpack_from("<H", data, offset)[0]
    if first == 0:
        return "", offset + 2
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    return ReadString(data, offset)


def Control(ident, klass, text, style, rect):
    return "id %d, class %r, text %r, style %#010x, at %r" % (ident, klass, text, style, rect)


def SameClass(actual, expected):
    if isinstance(expected, str) and isinstance(actual, str):
        return actual.lower() == expected.lower()
    return actual == expected


def CheckDialog(template, header, fail):
    if template[:4] == b"\x01\x00\xff\xff":
        fail("dialog: an extended template, not a classic one")
        return
    style, exstyle, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", template, 0)
    menu, at = ReadSzOrOrd(template, 18)
    cls, at = ReadSzOrOrd(template, at)
    title, at = ReadString(template, at)
    points = struct.unpack_from("<H", template, at)[0]
    font, at = ReadString(template, at + 2)
    actual = dict(style=style, exstyle=exstyle, count=count, x=x, y=y, cx=cx, cy=cy,
                  menu=menu, cls=cls, title=title, points=points, font=font)
    expected = dict(DIALOG, style=header["MAIN_STYLE"], cx=header["MAIN_SIZE"][0], cy=header["MAIN_SIZE"][1],
                    title=header["MAIN_CAPTION"], points=header["MAIN_FONT"][0], font=header["MAIN_FONT"][1])
    for key, value in expected.items():
        if actual[key] != value:
            fail("dialog: %s is %r, expected %r" % (key, actual[key], value))
    for index, (ident_name, klass, prefix) in enumerate(CONTROLS[:count]):
        ident, cstyle, rect = header[ident_name], header[prefix + "_STYLE"], tuple(header[prefix + "_RECT"])
        text = header[prefix + "_TEXT"]
        at = Align4(at)
        style, exstyle, x, y, cx, cy, item = struct.unpack_from("<IIhhhhH", template, at)
        got_class, at = ReadSzOrOrd(template, at + 18)
        got_text, at = ReadSzOrOrd(template, at)
        extra = struct.unpack_from("<H", template, at)[0]
        at += 2 + extra
        if (item, got_text, style, (x, y, cx, cy), exstyle, extra) != (ident, text, cstyle, rect, 0, 0) \
                or not SameClass(got_class, klass):
            fail("dialog: control %d is %s, exstyle %#x, %d extra bytes; expected %s"
                 % (index + 1, Control(item, got_class, got_text, style, (x, y, cx, cy)), exstyle, extra,
                    Control(ident, klass, text, cstyle, rect)))
    if count == len(CONTROLS) and Align4(at) < len(template):
        fail("dialog: %d bytes after the last control" % (len(template) - at))


def IconBitmap(image, width, height, bits, fail, label):
    """Checks one icon image's header and size, and that it is drawn: some
    pixels opaque, some transparent, and every transparent one black (else
    it would change the screen beneath the icon)."""
    size, w, h, planes, count, compression = struct.unpack_from("<IiiHHI", image, 0)
    row = lambda pixels, depth: ((pixels * depth + 31) // 32) * 4
    palette = 4 << bits
    expected = 40 + palette + row(width, bits) * height + row(width, 1) * height
    if (size, w, h, planes, count, compression, len(image)) != (40, width, 2 * height, 1, bits, 0, expected):
        fail("%s: header %r, %d bytes; expected %r, %d bytes"
             % (label, (size, w, h, planes, count, compression), len(image),
                (40, width, 2 * height, 1, bits, 0), expected))
        return
    colours = [image[40 + 4 * i:43 + 4 * i] for i in range(1 << bits)]
    pixels = 40 + palette
    mask = pixels + row(width, bits) * height
    opaque = transparent = 0
    for y in range(height):
        for x in range(width):
            bit = image[mask + y * row(width, 1) + x // 8] >> (7 - x % 8) & 1
            value = image[pixels + y * row(width, bits) + x * bits // 8]
            index = value >> (8 - bits - x * bits % 8) & ((1 << bits) - 1)
            if bit:
                transparent += 1
                if colours[index] != b"\0\0\0":
                    fail("%s: transparent pixel %d,%d is not black" % (label, x, y))
                    return
            else:
                opaque += 1
    if not opaque or not transparent:
        fail("%s: %d opaque and %d transparent pixels" % (label, opaque, transparent))


def CheckIcons(resources, icon_file, fail):
    group = resources.get((RT_GROUP_ICON, 102, LANG_EN_US), b"")
    if len(group) < 6:
        fail("icon group 102 missing")
        return
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    entries = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(count)]
    shapes = sorted((e[0], e[1], e[2], e[5]) for e in entries)
    if (reserved, kind, len(group)) != (0, 1, 6 + 14 * count) or shapes != ICONS:
        fail("icon group: %r; expected the images %r" % ((reserved, kind, len(group)), ICONS))
    file_images = {}
    if icon_file:
        data = open(icon_file, "rb").read()
        for i in range(struct.unpack_from("<H", data, 4)[0]):
            w, h, c, _, _, b, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
            file_images[(w, h, c, b)] = data[offset:offset + size]
    for width, height, colours, _, planes, bits, size, ident in entries:
        label = "icon %dx%d, %d bits" % (width, height, bits)
        image = resources.get((RT_ICON, ident, LANG_EN_US))
        if image is None or len(image) != size or planes != 1:
            fail("%s: image %d missing, or not %d bytes, or planes %d" % (label, ident, size, planes))
            continue
        IconBitmap(image, width, height, bits, fail, label)
        if icon_file and file_images.get((width, height, colours, bits)) != image:
            fail("%s: not the image in %s" % (label, icon_file))


def CheckVersion(pe, fail):
    """The version record as pefile parses it: the fixed part, one string
    table in US English and Unicode, and the translation list."""
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not fixed:
        fail("version record missing")
        return
    fixed = fixed[0]
    values = [fixed.Signature, fixed.StrucVersion, fixed.FileVersionMS, fixed.FileVersionLS,
              fixed.ProductVersionMS, fixed.ProductVersionLS, fixed.FileFlagsMask, fixed.FileFlags,
              fixed.FileOS, fixed.FileType, fixed.FileSubtype, fixed.FileDateMS, fixed.FileDateLS]
    for (what, expected), value in zip(FIXED_VERSION, values):
        if value != expected:
            fail("version: %s is %#x, expected %#x" % (what, value, expected))
    tables, translations = [], []
    for info in (entry for group in pe.FileInfo for entry in group):
        if info.Key == b"StringFileInfo":
            tables += info.StringTable
        elif info.Key == b"VarFileInfo":
            translations += [var.entry for var in info.Var]
    if [table.LangID for table in tables] != [b"040904b0"]:
        fail("version: string tables %r, expected only '040904b0'" % [t.LangID for t in tables])
        return
    strings = {k.decode(): v.decode() for k, v in tables[0].entries.items()}
    for name, value in VERSION_STRINGS.items():
        if strings.get(name) != value:
            fail("version: %s is %r, expected %r" % (name, strings.get(name), value))
    for name in DESCRIPTIVE_STRINGS:
        if not strings.get(name):
            fail("version: %s missing or empty" % name)
    if translations != [{b"Translation": "0x0409 0x04b0"}]:
        fail("version: translation list %r, expected 0x0409 and 1200" % translations)


def CheckManifest(manifest, machine, fail):
    processor = MANIFEST_PROCESSOR.get(machine)
    if processor is None:
        fail("manifest: no processor known for the machine type 0x%04X" % machine)
        return
    text = manifest.decode("utf-8", "replace")
    if not text.startswith('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'):
        fail("manifest: the declaration is not UTF-8, standalone: %r" % text[:60])
    try:
        root = ElementTree.fromstring(manifest)
    except ElementTree.ParseError as error:
        fail("manifest: not well-formed XML: %s" % error)
        return
    # The whole tree, element by element, with every attribute.
    expected = [
        (ASM + "assembly", {"manifestVersion": "1.0"}),
        (ASM + "assemblyIdentity", {"version": "1.0.0.0", "processorArchitecture": processor, "type": "win32"}),
        (ASM + "description", {}),
        (ASM + "dependency", {}),
        (ASM + "dependentAssembly", {}),
        (ASM + "assemblyIdentity", dict(COMMON_CONTROLS, processorArchitecture=processor)),
    ]
    actual = [(e.tag, dict(e.attrib)) for e in root.iter()]
    identity = actual[1][1] if len(actual) > 1 else {}
    if identity.pop("name", ""):
        actual[1] = (actual[1][0], identity)
    if actual != expected:
        fail("manifest: elements %r; expected %r (and a name on the first identity)" % (actual, expected))
    description = root.find(ASM + "description")
    if description is None or not (description.text or "").strip():
        fail("manifest: the description is empty")


def ReadResources(pe):
    """{(type, name, language): bytes} from the resource directory."""
    resources = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in kind.directory.entries:
            for language in name.directory.entries:
                data = language.data.struct
                key = (kind.id if kind.name is None else str(kind.name),
                       name.id if name.name is None else str(name.name), language.id)
                resources[key] = pe.get_data(data.OffsetToData, data.Size)
    return resources


def Executable(cc, exe, icon_file, resdir):
    pe = pefile.PE(exe)
    resources = ReadResources(pe)
    failures = []
    fail = failures.append
    keys = sorted(resources, key=repr)
    if keys != sorted(INVENTORY, key=repr):
        fail("resources %r; expected %r" % (keys, INVENTORY))
    header = ReadHeader(cc, resdir)
    checks = [
        ("dialog", lambda: CheckDialog(resources.get((RT_DIALOG, 101, LANG_EN_US), b""), header, fail)),
        ("icons", lambda: CheckIcons(resources, icon_file, fail)),
        ("version", lambda: CheckVersion(pe, fail)),
        ("manifest", lambda: CheckManifest(resources.get((RT_MANIFEST, 1, LANG_EN_US), b""),
                                                 pe.FILE_HEADER.Machine, fail)),
    ]
    for name, check in checks:
        try:
            check()
        except (struct.error, IndexError, ValueError, UnicodeDecodeError) as error:
            fail("%s: cut short or unreadable (%s)" % (name, error))
    return failures


def Icon(resdir):
    with tempfile.TemporaryDirectory() as work:
        fresh = os.path.join(work, "fresh.ico")
        subprocess.run([sys.executable, os.path.join(resdir, "make_icon.py"), fresh], check=True)
        if open(fresh, "rb").read() != open(os.path.join(resdir, "quorlan.ico"), "rb").read():
            return ["res/quorlan.ico is not what res/make_icon.py draws: run it and commit the icon"]
    return []


def main(argv):
    commands = {"executable": (Executable, 4), "icon": (Icon, 1)}
    if len(argv) < 2 or argv[1] not in commands or len(argv) - 2 != commands[argv[1]][1]:
        print(__doc__)
        return 2
    failures = commands[argv[1]][0](*argv[2:])
    for failure in failures:
        print("FAIL:", failure)
    print("%s: %d failures" % (argv[1], len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
