#!/usr/bin/env python3
"""Checks the resources that the built executable carries, read back from the
binary itself rather than from the resource script: the dialog template
byte by byte, the icon group and its images, the version record and the
manifest, each against a table of what they must be.

    check_resources.py executable WINDRES EXE ICO
        the executable's resources, read from its resource directory and,
        as a cross-check of that reader, through windres;
    check_resources.py typos WINDRES RESDIR
        every typo in the mutation table below, made in a copy of the
        resource script or manifest, must make the checks fail;
    check_resources.py icon RESDIR
        make_icon.py still draws the committed icon, byte for byte.

Each failure is printed on its own line; the exit status is 1 if any.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
LANG_EN_US = 1033
BUTTON, EDIT = 0x80, 0x81  # atoms of the predefined classes

# Everything the executable holds, and nothing else: (type, name, language).
INVENTORY = sorted([(RT_ICON, n, LANG_EN_US) for n in range(1, 7)] + [
    (RT_DIALOG, 101, LANG_EN_US), (RT_GROUP_ICON, 102, LANG_EN_US),
    (RT_VERSION, 1, LANG_EN_US), (RT_MANIFEST, 1, LANG_EN_US)])

DIALOG = dict(style=0x00CF0840, exstyle=0, count=6, x=0, y=0, cx=299, cy=159,
              menu="", cls="", title="Program List", points=8, font="Tahoma")

# id, class, text, style, (x, y, cx, cy), in tab order. A class given by
# name is compared without regard to case, as the window manager does (the
# resource compiler stores it in capitals).
CONTROLS = [
    (1001, "SysTreeView32", "Tree1", 0x508102B7, (4, 4, 144, 132)),
    (1004, BUTTON, "", 0x50000007, (152, 0, 144, 136)),
    (1003, EDIT, "", 0x50210844, (156, 12, 136, 120)),
    (1002, EDIT, "", 0x50810080, (4, 140, 180, 16)),
    (1, BUTTON, "&Run", 0x50010001, (188, 140, 52, 16)),
    (2, BUTTON, "&Close", 0x50010000, (244, 140, 52, 16)),
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
                   "processorArchitecture": "X86", "publicKeyToken": "6595b64144ccf1df", "language": "*"}

# Typos that the checks must catch: (file, text, replacement).
TYPOS = [
    ("quorlan.rc", "LANGUAGE 0x09, 0x01", "LANGUAGE 0x09, 0x02"),
    ("quorlan.rc", "DIALOG 0, 0, 299, 159", "DIALOG 0, 0, 299, 195"),
    ("quorlan.rc", "DIALOG 0, 0, 299, 159", "DIALOGEX 0, 0, 299, 159"),
    ("quorlan.rc", "STYLE 0x00CF0840", "STYLE 0x10CF0840"),
    ("quorlan.rc", 'CAPTION "Program List"', 'CAPTION "Program list"'),
    ("quorlan.rc", 'FONT 8, "Tahoma"', 'FONT 9, "Tahoma"'),
    ("quorlan.rc", 'FONT 8, "Tahoma"', 'FONT 8, "MS Shell Dlg"'),
    ("quorlan.rc", '"SysTreeView32"', '"SysTreeView"'),
    ("quorlan.rc", '"Tree1"', '"Tree 1"'),
    ("quorlan.rc", "0x508102B7", "0x508102B6"),
    ("quorlan.rc", "4, 4, 144, 132", "4, 4, 144, 123"),
    ("quorlan.rc", "IDC_FRAME, BUTTON_CLASS, 0x50000007", "IDC_FRAME, BUTTON_CLASS, 0x50010007"),
    ("quorlan.rc", "IDC_FRAME, BUTTON_CLASS", "IDC_FRAME, 0x82"),
    ("quorlan.rc", "156, 12, 136, 120", "156, 21, 136, 120"),
    ("quorlan.rc", "IDC_COMMAND, EDIT_CLASS", "IDC_DESCRIPTION, EDIT_CLASS"),
    ("quorlan.rc", "0x50810080", "0x50800080"),
    ("quorlan.rc", '"&Run"', '"Run"'),
    ("quorlan.rc", "188, 140, 52, 16", "188, 140, 25, 16"),
    ("quorlan.rc", "IDCANCEL, BUTTON_CLASS, 0x50010000", "IDCANCEL, BUTTON_CLASS, 0x50010001"),
    ("quorlan.rc", "IDI_MAIN ICON", "103 ICON"),
    ("quorlan.rc", "FILEVERSION 1, 1, 0, 0", "FILEVERSION 1, 1, 0, 1"),
    ("quorlan.rc", "PRODUCTVERSION 1, 1, 0, 0", "PRODUCTVERSION 1, 0, 0, 0"),
    ("quorlan.rc", "FILEFLAGSMASK 0x3F", "FILEFLAGSMASK 0x17"),
    ("quorlan.rc", "FILEOS VOS__WINDOWS32", "FILEOS VOS_NT_WINDOWS32"),
    ("quorlan.rc", "FILETYPE VFT_APP", "FILETYPE VFT_DLL"),
    ("quorlan.rc", 'BLOCK "040904b0"', 'BLOCK "040904e4"'),
    ("quorlan.rc", '"FileVersion", "1.10"', '"FileVersion", "1.1"'),
    ("quorlan.rc", '"ProductVersion", "1.10"', '"ProductVersoin", "1.10"'),
    ("quorlan.rc", '"CompanyName", "Quorlan"', '"CompanyName", ""'),
    ("quorlan.rc", "0x0409, 1200", "0x0409, 1252"),
    ("quorlan.rc", '1 24 "quorlan.manifest"', '2 24 "quorlan.manifest"'),
    ("quorlan.manifest", 'version="1.0.0.0"', 'version="1.0.0.1"'),
    ("quorlan.manifest", 'processorArchitecture="X86" name="Quorlan.Menu"',
     'processorArchitecture="*" name="Quorlan.Menu"'),
    ("quorlan.manifest", "6595b64144ccf1df", "6595b64144ccf1dd"),
    ("quorlan.manifest", 'version="6.0.0.0"', 'version="5.82.0.0"'),
    ("quorlan.manifest", 'language="*"', 'language="en-us"'),
    ("quorlan.manifest", "</assembly>",
     '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"/></assembly>'),
    ("quorlan.manifest", 'standalone="yes"', 'standalone="no"'),
]


# ---- reading resources -------------------------------------------------

def ReadPeResources(path):
    """{(type, name, language): bytes} from a PE file's resource directory;
    names and types are numbers, or strings when named."""
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x10B:
        raise ValueError("not a 32-bit PE file")
    rsrc_rva = struct.unpack_from("<I", data, optional + 96 + 8 * 2)[0]
    table = []
    for i in range(sections):
        vsize, va, raw_size, raw = struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
        table.append((va, max(vsize, raw_size), raw))

    def FileOffset(rva):
        for va, size, raw in table:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("address %#x is in no section" % rva)

    base = FileOffset(rsrc_rva)

    def Name(value):
        if value & 0x80000000:
            at = base + (value & 0x7FFFFFFF)
            length = struct.unpack_from("<H", data, at)[0]
            return data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        return value

    def Walk(offset, path):
        named, ids = struct.unpack_from("<HH", data, offset + 12)
        for i in range(named + ids):
            name, child = struct.unpack_from("<II", data, offset + 16 + 8 * i)
            if child & 0x80000000:
                yield from Walk(base + (child & 0x7FFFFFFF), path + (Name(name),))
            else:
                rva, size = struct.unpack_from("<II", data, base + child)
                yield path + (Name(name),), data[FileOffset(rva):FileOffset(rva) + size]

    return dict(Walk(base, ()))


def ReadId(data, offset):
    """A type or name in a .res header: an ordinal or a string."""
    if struct.unpack_from("<H", data, offset)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    return ReadString(data, offset)


def ReadString(data, offset):
    """A NUL-terminated UTF-16 string and the offset after it."""
    end = offset
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def Align4(offset):
    return (offset + 3) & ~3


def ReadResFile(path):
    """{(type, name, language): bytes} from a compiled .res file."""
    data = open(path, "rb").read()
    resources, offset = {}, 0
    while offset < len(data):
        size, header = struct.unpack_from("<II", data, offset)
        kind, at = ReadId(data, offset + 8)
        name, at = ReadId(data, at)
        language = struct.unpack_from("<H", data, Align4(at) + 6)[0]
        if kind != 0:
            resources[(kind, name, language)] = data[offset + header:offset + header + size]
        offset = Align4(offset + header + size)
    return resources


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


def CheckDialog(template, fail):
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
    for key, value in DIALOG.items():
        if actual[key] != value:
            fail("dialog: %s is %r, expected %r" % (key, actual[key], value))
    for index, (ident, klass, text, cstyle, rect) in enumerate(CONTROLS[:count]):
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


def ParseVersionNode(data, offset):
    """(key, value bytes, children) of one node of a version record."""
    length, value_length, text = struct.unpack_from("<HHH", data, offset)
    key, at = ReadString(data, offset + 6)
    at = Align4(at)
    size = value_length * 2 if text else value_length
    value = data[at:at + size]
    at = Align4(at + size)
    children = []
    while at < offset + length:
        child, at = ParseVersionNode(data, at)
        children.append(child)
        at = Align4(at)
    return (key, value, children), offset + length


def CheckVersion(record, fail):
    if not record:
        fail("version record 1 missing")
        return
    (key, fixed, children), _ = ParseVersionNode(record, 0)
    values = struct.unpack_from("<13I", fixed) if len(fixed) == 52 else ()
    if key != "VS_VERSION_INFO" or len(values) != 13:
        fail("version: key %r, fixed part of %d bytes" % (key, len(fixed)))
        return
    for (what, expected), value in zip(FIXED_VERSION, values):
        if value != expected:
            fail("version: %s is %#x, expected %#x" % (what, value, expected))
    blocks = {k: kids for k, _, kids in children}
    tables = blocks.get("StringFileInfo", [])
    if [k for k, _, _ in tables] != ["040904b0"]:
        fail("version: string tables %r, expected only '040904b0'" % [k for k, _, _ in tables])
        return
    strings = {k: v.decode("utf-16-le").split("\0")[0] for k, v, _ in tables[0][2]}
    for name, value in VERSION_STRINGS.items():
        if strings.get(name) != value:
            fail("version: %s is %r, expected %r" % (name, strings.get(name), value))
    for name in DESCRIPTIVE_STRINGS:
        if not strings.get(name):
            fail("version: %s missing or empty" % name)
    translation = [(k, v) for k, v, _ in blocks.get("VarFileInfo", [])]
    if translation != [("Translation", struct.pack("<HH", 0x0409, 1200))]:
        fail("version: translation list %r, expected 0x0409 and 1200" % translation)


def CheckManifest(manifest, fail):
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
        (ASM + "assemblyIdentity", {"version": "1.0.0.0", "processorArchitecture": "X86", "type": "win32"}),
        (ASM + "description", {}),
        (ASM + "dependency", {}),
        (ASM + "dependentAssembly", {}),
        (ASM + "assemblyIdentity", COMMON_CONTROLS),
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


def CheckResources(resources, icon_file=None):
    """The failures, one line each, of a set of resources."""
    failures = []
    fail = failures.append
    keys = sorted(resources, key=repr)
    if keys != sorted(INVENTORY, key=repr):
        fail("resources %r; expected %r" % (keys, INVENTORY))
    checks = [
        ("dialog", lambda: CheckDialog(resources.get((RT_DIALOG, 101, LANG_EN_US), b""), fail)),
        ("icons", lambda: CheckIcons(resources, icon_file, fail)),
        ("version", lambda: CheckVersion(resources.get((RT_VERSION, 1, LANG_EN_US)), fail)),
        ("manifest", lambda: CheckManifest(resources.get((RT_MANIFEST, 1, LANG_EN_US), b""), fail)),
    ]
    for name, check in checks:
        try:
            check()
        except (struct.error, IndexError, ValueError, UnicodeDecodeError) as error:
            fail("%s: cut short or unreadable (%s)" % (name, error))
    return failures


# ---- commands ------------------------------------------------------------

def Executable(windres, exe, icon_file):
    failures = CheckResources(ReadPeResources(exe), icon_file)
    # The same resources as windres reads them: a fault in the reader above
    # would show as a difference.
    with tempfile.TemporaryDirectory() as work:
        res = os.path.join(work, "back.res")
        subprocess.run([windres, "-i", exe, "-O", "res", "-o", res], check=True)
        theirs = ReadResFile(res)
    # windres drops the language on this way back, so that is left out.
    ours = {key[:2]: data for key, data in ReadPeResources(exe).items()}
    theirs = {key[:2]: data for key, data in theirs.items()}
    for key in sorted(set(ours) | set(theirs), key=repr):
        if ours.get(key) != theirs.get(key):
            failures.append("resource %r reads differently through windres" % (key,))
    return failures


def Typos(windres, resdir):
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for name in ("quorlan.rc", "quorlan.manifest", "quorlan.ico", "resource.h"):
            shutil.copy(os.path.join(resdir, name), work)
        sources = {name: open(os.path.join(resdir, name)).read() for name in ("quorlan.rc", "quorlan.manifest")}

        def Compile(changed_file, changed_text):
            for name, text in sources.items():
                with open(os.path.join(work, name), "w") as f:
                    f.write(changed_text if name == changed_file else text)
            res = os.path.join(work, "out.res")
            run = subprocess.run([windres, "-i", os.path.join(work, "quorlan.rc"), "-O", "res", "-o", res],
                                 cwd=work, capture_output=True, text=True)
            return ReadResFile(res) if run.returncode == 0 else None

        untouched = Compile(None, None)
        if untouched is None or CheckResources(untouched):
            return ["the resources as they stand do not compile or pass: %r"
                    % (untouched and CheckResources(untouched))]
        for name, text, replacement in TYPOS:
            if sources[name].count(text) != 1:
                failures.append("typo table: %r is not once in %s" % (text, name))
                continue
            resources = Compile(name, sources[name].replace(text, replacement))
            # One the compiler rejects would show nothing about the checks.
            if resources is None:
                failures.append("typo table: %r -> %r does not compile" % (text, replacement))
            elif not CheckResources(resources):
                failures.append("not caught: %s: %r -> %r" % (name, text, replacement))
    return failures


def Icon(resdir):
    with tempfile.TemporaryDirectory() as work:
        fresh = os.path.join(work, "fresh.ico")
        subprocess.run([sys.executable, os.path.join(resdir, "make_icon.py"), fresh], check=True)
        if open(fresh, "rb").read() != open(os.path.join(resdir, "quorlan.ico"), "rb").read():
            return ["res/quorlan.ico is not what res/make_icon.py draws: run it and commit the icon"]
    return []


def main(argv):
    commands = {"executable": (Executable, 3), "typos": (Typos, 2), "icon": (Icon, 1)}
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
