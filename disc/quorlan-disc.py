#!/usr/bin/env python3
"""quorlan-disc: from a disc's folder to the menu as a CD shows it, and to
the disc's image.

The build writes this file twice (disc/CMakeLists.txt), with the paths of
what it runs filled in below: the Windows program it adds to a disc and
shows, the native quorlan-check, the window driver that takes the headless
pictures, and wine-env.sh for Wine; and the 64-bit build of the program
and of the driver, which previews show where 32-bit Wine cannot run. Into
the build folder with this build's files; for installing, with the
installed files' paths relative to this script's own folder.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unicodedata

VERSION = "@PROJECT_VERSION@"
HERE = os.path.dirname(os.path.realpath(__file__))


def beside(path):
    """Yields PATH, a relative one taken from this script's folder."""
    return os.path.normpath(os.path.join(HERE, path))


def user_cache(name):
    """Yields NAME in this user's cache folder, for an installed tool's prefix."""
    return os.path.join(os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "quorlan", name)


QUORLAN_EXE = beside("@QUORLAN_EXE@")
WHOSE = "@QUORLAN_WHOSE@"  # whose quorlan.exe that is, in messages: the build's or the installed
QUORLAN_CHECK = beside("@QUORLAN_CHECK@")
QUORLAN_DRIVER = beside("@QUORLAN_DRIVER@")
QUORLAN_EXE_X64 = beside("@QUORLAN_EXE_X64@")
QUORLAN_DRIVER_X64 = beside("@QUORLAN_DRIVER_X64@")
WINE_ENV = beside("@WINE_ENV@")
# An installed tool keeps its Wine prefix in the user's cache folder and
# saves pictures in the current folder.
DEFAULT_PREFIX = "@DEFAULT_PREFIX@" or user_cache("wineprefix-disc")
DEFAULT_PICTURE = "@DEFAULT_PICTURE@" or "quorlan-preview.png"
DIAGNOSTIC_FORMAT = @DIAGNOSTIC_FORMAT@  # the checker's: file, line, column, kind, text

USAGE = """\
usage: quorlan-disc check DIR [CHECKER OPTIONS]
       quorlan-disc preview DIR [--select ITEM] [--picture PNG] [--case FILE] [--prefix DIR]
       quorlan-disc image DIR -o OUT.iso [--label TEXT] [--force] [CHECKER OPTIONS]
       quorlan-disc --help | --version

DIR is a disc's root folder, holding Quorlan.ini.

check    checks DIR/Quorlan.ini with quorlan-check (its options are passed on,
         --fix among them, which mends the menu in the same run; the
         commands' files are looked up in DIR, the disc's root), and the
         disc: quorlan.exe present (or added by image), autorun.inf present
         and opening quorlan.exe (or written by image).
preview  shows the menu as the user sees it from a CD: DIR becomes a drive
         of type CD-ROM under Wine, and the disc's quorlan.exe (or
         """ + WHOSE + """ one, not copied into DIR) starts in that drive's root folder.
         With a display the window opens; without one, a picture of it is
         saved to PNG (default: """ + DEFAULT_PICTURE + """) and its path printed.
           --select ITEM   the tree item selected in the picture, as 2/1 (default 1)
           --case FILE     drive the window with an end-to-end case file instead
           --prefix DIR    the Wine prefix (default: """ + DEFAULT_PREFIX + """)
image    checks as above and refuses when there is a warning (unless --force);
         then writes OUT.iso (ISO 9660 with Joliet and Rock Ridge) from DIR,
         adding quorlan.exe and autorun.inf where DIR has none, without
         changing DIR. The volume label is the menu's title unless --label.
         The image's Joliet tree, which Windows reads, is read back: a file
         of DIR, or one a command names, not there under its name refuses
         the image too (unless --force).

Exit status: 0 done, 1 refused (a warning; for --case, a failed expectation),
2 bad arguments, missing or unreadable input, or nothing could be written."""

MENU, PROGRAM, AUTORUN = "Quorlan.ini", "quorlan.exe", "autorun.inf"
ISO_LABEL_MAX = 32     # ISO 9660 volume identifier: d-characters
JOLIET_LABEL_MAX = 16  # Joliet volume identifier: UCS-2 characters
JOLIET_FORBIDDEN = set('*/:;?\\')
SECTOR = 2048
# The longest Joliet names xorriso keeps with -joliet-long (measured with
# Debian 12's xorriso 1.5.4): 103 characters, the dot of an extension not
# counted; without the option, 64. Longer names are cut, and names cut
# alike get digits.
JOLIET_NAME_MAX = 103
# What Windows opens by an ordinary path: MAX_PATH (260) with "D:\" and the
# closing NUL.
WINDOWS_PATH_MAX = 260 - len("D:\\") - 1
# Characters Joliet replaces by '_' (xorriso), or Windows does not allow in
# a name.
NAME_FORBIDDEN = JOLIET_FORBIDDEN | set('<>"|')
# A test switch: an image without the long Joliet names, which the
# read-back must catch.
SHORT_JOLIET = os.environ.get("QUORLAN_DISC_TEST_SHORT_JOLIET") == "1"
# Python's names of the code pages that quorlan-check takes.
CODECS = {932: "cp932", 936: "gbk", 949: "cp949", 950: "cp950"}


class Stop(Exception):
    """Ends the command with an exit status and, if any, a one-line message."""

    def __init__(self, status, message=None):
        super().__init__(message)
        self.status, self.message = status, message


def shown(path):
    """Yields PATH as the user would write it: relative to the current folder
    when below it."""
    relative = os.path.relpath(path)
    return path if relative.startswith("..") else relative


def find_name(folder, name):
    """Yields the name under which FOLDER holds NAME, letters compared without
    case as a CD is read on Windows, or None."""
    for entry in sorted(os.listdir(folder)):
        if entry.lower() == name.lower():
            return entry
    return None


def windows_upper(name):
    """Yields NAME in capitals as Windows compares file names: each
    character by itself, none becoming two."""
    return "".join(c.upper() if len(c.upper()) == 1 else c for c in name)


def joliet_name(name):
    """Yields the name xorriso writes into the Joliet tree for a file system
    name (bytes): '_' for what it cannot hold, cut to the longest it keeps."""
    text = name.decode("utf-8", "replace")
    text = "".join("_" if c in JOLIET_FORBIDDEN or c == "\ufffd" or ord(c) > 0xFFFF or ord(c) < 32 else c
                   for c in text)
    stem, dot, extension = text.rpartition(".")
    if dot and stem and len(text) - 1 > JOLIET_NAME_MAX and len(extension) < JOLIET_NAME_MAX:
        return stem[:JOLIET_NAME_MAX - len(extension)] + "." + extension
    return text[:JOLIET_NAME_MAX + (1 if dot and stem else 0)]


def name_problem(name):
    """Yields why a file system name (bytes) does not reach Windows as
    written, or None."""
    try:
        text = name.decode("utf-8")
    except UnicodeDecodeError:
        return "is not UTF-8: the disc holds '_' for its bytes"
    odd = sorted(set(c for c in text if c in NAME_FORBIDDEN or ord(c) < 32 or ord(c) > 0xFFFF))
    if odd:
        return ("holds " + ", ".join(repr(c) if ord(c) < 32 else c for c in odd) +
                ", which a Joliet name or Windows does not allow")
    if text.endswith((".", " ")):
        return "ends in a dot or a space, which Windows leaves out when it opens a file"
    if joliet_name(name) != text:
        return (f"has {len(text)} characters: the disc keeps {JOLIET_NAME_MAX} "
                f"({JOLIET_NAME_MAX + 1} with an extension), and it would be cut to \"{joliet_name(name)}\"")
    return None


def disc_names(folder):
    """Yields the disc's own warnings about its names (path, 0, code,
    message, note): names that do not reach Windows as written, paths longer than
    Windows opens, and names that become one on the disc."""
    warnings = []
    top = os.fsencode(folder)
    for root, dirs, files in os.walk(top):
        dirs.sort()
        taken = {}
        for name in sorted(dirs + files):
            path = os.path.relpath(os.path.join(root, name), top)
            shown_path = path.decode("utf-8", "backslashreplace")
            problem = name_problem(name)
            if problem:
                warnings.append((shown_path, 0, "disc-name", f"the name {problem}",
                                 "rename it in UTF-8, within the limits of a Joliet name, as the menu writes it"))
            windows_path = path.decode("utf-8", "replace").replace("/", "\\")
            if len(windows_path.encode("utf-16-le")) // 2 > WINDOWS_PATH_MAX:
                warnings.append((shown_path, 0, "disc-path-length",
                                 f"the path has {len(windows_path)} characters: Windows opens "
                                 f"{WINDOWS_PATH_MAX} at most after D:\\",
                                 "shorten the names of its folders, or move it nearer the disc's root"))
            key = windows_upper(joliet_name(name))
            if key in taken:
                other = os.path.relpath(os.path.join(root, taken[key]), top).decode("utf-8", "backslashreplace")
                warnings.append((shown_path, 0, "disc-name-clash",
                                 f"the name becomes one with \"{other}\" on the disc, where case is ignored: "
                                 f"Windows reaches only one of them",
                                 "rename one of the two"))
            else:
                taken[key] = name
    return warnings


def disc_folder(path):
    """Yields the absolute folder and the name of its menu file, or stops."""
    if not os.path.isdir(path):
        raise Stop(2, f"{path}: no such folder")
    folder = os.path.realpath(path)
    try:
        menu = find_name(folder, MENU)
    except OSError as error:
        raise Stop(2, f"{path}: cannot read the folder: {error.strerror}")
    if not menu or not os.path.isfile(os.path.join(folder, menu)):
        raise Stop(2, f"{path}: no {MENU} in the folder")
    return folder, menu


def split_options(args, own):
    """Takes this tool's options (OWN: name -> takes a value) out of ARGS;
    yields them and the rest, in order, for the checker."""
    found, rest = {}, []
    i = 0
    while i < len(args):
        name = args[i]
        if name in own:
            if own[name]:
                if i + 1 >= len(args):
                    raise Stop(2, f"{name} needs a value")
                found[name] = args[i + 1]
                i += 1
            else:
                found[name] = True
        else:
            rest.append(name)
        i += 1
    return found, rest


def run_checker(folder, menu, options):
    """Runs quorlan-check on the menu in FOLDER, its files looked up there;
    yields its exit status and output, or stops on its refusal."""
    if not os.access(QUORLAN_CHECK, os.X_OK):
        raise Stop(2, f"no checker at {QUORLAN_CHECK}: the win32 build makes it "
                      "(cmake --build --preset win32)")
    done = subprocess.run([QUORLAN_CHECK] + options + [menu], cwd=folder, capture_output=True)
    if done.returncode not in (0, 1):
        sys.stderr.buffer.write(done.stderr)
        raise Stop(2)
    return done.returncode, done.stdout


def autorun_keys(folder, name):
    """Yields the keys of autorun.inf's [autorun] section: key -> (line, value)."""
    with open(os.path.join(folder, name), "rb") as inf:
        lines = inf.read().decode("latin-1").splitlines()
    section, keys = "", {}
    for number, line in enumerate(lines, 1):
        text = line.strip()
        if text.startswith("["):
            section = text.strip("[]").strip().lower()
        elif section == "autorun" and "=" in text:
            key, value = text.split("=", 1)
            keys.setdefault(key.strip().lower(), (number, value.strip()))
    return keys


def autorun_opens(keys):
    """Yields the line of autorun.inf's open= and what it starts, (0, None)
    when it has none."""
    if "open" not in keys:
        return 0, None
    number, value = keys["open"]
    return number, value[1:].split('"')[0] if value.startswith('"') else value.split(" ")[0]


def autorun_text(label, title, code_page):
    """Yields the autorun.inf that image writes: it opens the menu, with its
    icon, the drive's label and AutoPlay's offer, in the users' code page
    ('?' for what it cannot hold)."""
    text = (f"[autorun]\r\nopen={PROGRAM}\r\nicon={PROGRAM},0\r\nlabel={label}\r\n"
            f"action=Open the menu of {title}\r\n")
    return text.encode(CODECS.get(code_page, f"cp{code_page}"), "replace")


def check_disc(folder, label):
    """Yields what the image adds to the disc, the disc's own warnings (file,
    line, code, message, note; line 0 for a name), each at the start of its line,
    and its notes (file, line, note), which are no warnings."""
    adds, notes, warnings = [], [], disc_names(folder)
    if not find_name(folder, PROGRAM):
        adds.append(f"no {PROGRAM} in the folder: the image adds {WHOSE} {PROGRAM} ({shown(QUORLAN_EXE)})")
    autorun = find_name(folder, AUTORUN)
    if not autorun:
        adds.append(f"no {AUTORUN} in the folder: the image adds one that opens {PROGRAM}, "
                    f"label \"{label}\"")
        return adds, warnings, notes
    keys = autorun_keys(folder, autorun)
    line, program = autorun_opens(keys)
    if "action" not in keys:
        notes.append((autorun, 1, f"no action= in the [autorun] section: where AutoPlay offers to start "
                                  f"the menu, it says \"Run {PROGRAM}\"; action=Open the menu of ... "
                                  f"names the disc instead"))
    if program is None:
        warnings.append((autorun, 1, "autorun-open", f"no open= in an [autorun] section: the menu will not start "
                                     f"when the disc is inserted",
                         f"write [autorun] and open={PROGRAM} on the lines below it"))
    elif program.lower().lstrip("\\") != PROGRAM:
        warnings.append((autorun, line, "autorun-program", f"open= starts \"{program}\", not {PROGRAM} in the disc's "
                                        f"root: the menu will not start when the disc is inserted",
                         f"write open={PROGRAM}"))
    return adds, warnings, notes


def menu_report(folder, menu, options):
    """Yields the checker's JSON report of the menu (its warnings and title)."""
    options = [o for o in options if o != "--json"]
    status, out = run_checker(folder, menu, options + ["--json"])
    try:
        return json.loads(out.decode("utf-8"))
    except ValueError:
        raise Stop(2, f"quorlan-check gave no report for {' '.join(options)}: {out[:60]!r}")


def iso_label(title):
    """Yields TITLE as an ISO 9660 volume identifier: letters without their
    accents and in capitals, digits, and '_' for each run of anything else,
    cut at 32."""
    plain = "".join(c for c in unicodedata.normalize("NFKD", title) if not unicodedata.combining(c)).upper()
    label = "".join(c if c.isascii() and (c.isalnum() or c == "_") else " " for c in plain)
    return "_".join(label.split())[:ISO_LABEL_MAX].strip("_")


def joliet_label(title):
    """Yields TITLE as a Joliet volume identifier: '_' for each control
    character, character outside UCS-2 or one of * / : ; ? \\, cut at 16,
    without spaces at either end."""
    label = "".join("_" if c in JOLIET_FORBIDDEN or unicodedata.category(c) == "Cc" or ord(c) > 0xFFFF
                    else c for c in " ".join(title.split()))
    return label[:JOLIET_LABEL_MAX].strip()


def disc_labels(title, folder):
    """Yields the ISO 9660 and Joliet labels of a disc of that title; a title
    of nothing ISO 9660 can write gives way to the folder's name."""
    if not iso_label(title):
        title = os.path.basename(folder)
    iso = iso_label(title) or "DISC"
    return iso, joliet_label(title) or iso[:JOLIET_LABEL_MAX]


def set_joliet_label(image, label):
    """Writes LABEL into the image's Joliet volume descriptor (xorriso writes
    one identifier for both trees; ISO 9660 allows fewer characters)."""
    with open(image, "r+b") as iso:
        for sector in range(16, 64):
            iso.seek(sector * SECTOR)
            head = iso.read(91)
            if head[0] == 255 or head[1:6] != b"CD001":
                break
            if head[0] == 2 and head[88:91] in (b"%/@", b"%/C", b"%/E"):
                iso.seek(sector * SECTOR + 40)
                iso.write(label.ljust(JOLIET_LABEL_MAX).encode("utf-16-be"))
                return
    raise Stop(2, f"{image}: xorriso wrote no Joliet volume descriptor")


def disc_time(folder):
    """Yields the image's time: SOURCE_DATE_EPOCH when set, else the newest
    modification time of the folder's files, so that the same folder gives
    the same image."""
    if os.environ.get("SOURCE_DATE_EPOCH", "").isdigit():
        return int(os.environ["SOURCE_DATE_EPOCH"])
    newest = 0
    for root, dirs, files in os.walk(folder):
        for name in files:
            newest = max(newest, int(os.lstat(os.path.join(root, name)).st_mtime))
    return newest


def count_files(folder):
    return sum(len(files) for root, dirs, files in os.walk(folder))


def print_disc_warnings(disc_warnings, notes=()):
    """The disc's own warnings, in the checker's format, each with its note
    (a name's as PATH: warning:), then its notes."""
    for name, line, code, message, note in disc_warnings:
        if line:
            print(DIAGNOSTIC_FORMAT % (name, line, 1, "warning", f"{message} [{code}]"), end="")
            print(DIAGNOSTIC_FORMAT % (name, line, 1, "note", note), end="")
        else:  # a name on the disc, which has no line
            print(f"{name}: warning: {message} [{code}]")
            print(f"{name}: note: {note}")
    for name, line, note in notes:
        print(DIAGNOSTIC_FORMAT % (name, line, 1, "note", note), end="")


def print_warnings(menu, report, disc_warnings, notes):
    """The checker's warnings as it prints them, each with its severity, code
    and note, then the disc's."""
    for w in report["warnings"]:
        print(DIAGNOSTIC_FORMAT % (menu, w["line"], w["column"], w["severity"], f"{w['message']} [{w['code']}]"),
              end="")
        print(DIAGNOSTIC_FORMAT % (menu, w["note_line"], w["note_column"], "note", w["note"]), end="")
        if w.get("fix"):
            edit, kind = w["fix"]["edits"][0], "safe" if w["fix"]["safe"] else "suggested"
            print(DIAGNOSTIC_FORMAT % (menu, edit["line"], edit["column"], "fix", f"{w['fix']['title']} ({kind})"),
                  end="")
    print_disc_warnings(disc_warnings, notes)


def caption_of(text_report):
    """Yields the caption from the checker's text report (its line
    caption: "...", after the fixes made), its quotes' escapes undone as far
    as a label needs."""
    lines = [line for line in text_report.decode("utf-8", "replace").split("\n") if line.startswith('caption: "')]
    quoted = lines[0][len('caption: "'):-1] if lines and lines[0].endswith('"') else ""
    return re.sub(r'\\(["\\])', r"\1", quoted)


def command_check(folder, menu, options):
    """Prints the checker's report and the disc's; yields 1 on a warning.
    The checker runs once: with --fix it mends the menu as it reports."""
    if "--json" not in options:
        status, out = run_checker(folder, menu, options)
        adds, warnings, notes = check_disc(folder, disc_labels(caption_of(out), folder)[1])
        sys.stdout.flush()
        sys.stdout.buffer.write(out)
        for note in adds:
            print(f"disc: {note}")
        print_disc_warnings(warnings, notes)
        if not adds and not warnings:
            print(f"disc: {PROGRAM} and {AUTORUN} present, and {AUTORUN} opens {PROGRAM}")
        return 1 if status == 1 or warnings else 0
    report = menu_report(folder, menu, options)
    adds, warnings, notes = check_disc(folder, disc_labels(report["caption"], folder)[1])
    report["disc"] = {"adds": adds,
                      "warnings": [{"file": f, "line": n or None, "column": 1 if n else None, "code": c,
                                    "severity": "warning", "message": m, "note": t}
                                   for f, n, c, m, t in warnings],
                      "notes": [{"file": f, "line": n, "column": 1, "note": t} for f, n, t in notes]}
    print(json.dumps(report, ensure_ascii=False))
    return 1 if report["warnings"] or warnings else 0


def option_value(options, name, default):
    """Yields the value of a checker option as given, or DEFAULT."""
    return options[options.index(name) + 1] if name in options[:-1] else default


def joliet_tree(image):
    """Yields the paths of the image's Joliet tree, the names Windows reads,
    relative to its root and with '/' between names; a folder's ends in '/'."""
    with open(image, "rb") as iso:
        data = iso.read()
    root = None
    for sector in range(16, 64):
        head = data[sector * SECTOR:(sector + 1) * SECTOR]
        if len(head) < SECTOR or head[0] == 255 or head[1:6] != b"CD001":
            break
        if head[0] == 2 and head[88:91] in (b"%/@", b"%/C", b"%/E"):
            root = head[156:156 + 34]
            break
    if root is None:
        raise Stop(2, f"{image}: xorriso wrote no Joliet volume descriptor")
    paths, seen = [], set()

    def walk(record, prefix):
        extent, size = int.from_bytes(record[2:6], "little"), int.from_bytes(record[10:14], "little")
        if extent in seen:
            return
        seen.add(extent)
        at, end = extent * SECTOR, extent * SECTOR + size
        while at < end:
            length = data[at]
            if length == 0:  # records do not cross a sector's end
                at = (at // SECTOR + 1) * SECTOR
                continue
            entry = data[at:at + length]
            name, folder = entry[33:33 + entry[32]], entry[25] & 2
            if name not in (b"\0", b"\1"):
                text = name.decode("utf-16-be", "replace")
                path = prefix + (text if folder else text.rsplit(";", 1)[0])
                paths.append(path + "/" if folder else path)
                if folder:
                    walk(entry, path + "/")
            at += length

    walk(root, "")
    return paths


def menu_files(items, drive):
    """Yields the files the menu's commands name on the disc, as the shell
    gets them, relative to its root with '/' between names."""
    found = []
    for item in items:
        launch = item["record"]["launch"] if item.get("record") else None
        file = (launch or {}).get("file") or ""
        file = file.replace('"', "")
        if len(file) >= 2 and file[1] == ":":
            file = file[2:] if file[0].upper() == drive.upper() else ""
        elif "\\" not in file and "." not in file:
            file = ""
        parts = [p for p in file.replace("/", "\\").split("\\") if p and p != "."]
        if parts and not file.startswith("\\\\") and ":" not in "".join(parts):
            found.append("/".join(parts))
        found += menu_files(item.get("children", []), drive)
    return found


def on_disc(folder, path):
    """Yields whether the folder holds PATH, names compared as Windows compares them."""
    for part in path.split("/"):
        if not os.path.isdir(folder):
            return False
        names = [n for n in os.listdir(folder) if windows_upper(n) == windows_upper(part)]
        if not names:
            return False
        folder = os.path.join(folder, names[0])
    return True


def read_back(image, folder, added, report, drive):
    """Reads the image's Joliet tree back; yields its size and what it lacks
    (path, 0, code, message, note): a file or folder of FOLDER or ADDED not under
    its own name, a file a command names not under the menu's name."""
    tree = joliet_tree(image)
    lacks, held = [], set(tree)
    top = os.fsencode(folder)
    wanted = [name for name in added]
    for root, dirs, files in os.walk(top):
        for name in dirs + files:
            path = os.path.relpath(os.path.join(root, name), top).decode("utf-8", "surrogateescape")
            wanted.append(path + "/" if name in dirs else path)
    for path in sorted(wanted):
        if path not in held:
            shown_path = path.encode("utf-8", "surrogateescape").decode("utf-8", "backslashreplace")
            lacks.append((shown_path, 0, "image-name",
                          "not in the image's Joliet tree, which Windows reads, under this name",
                          "quorlan-disc check says why; rename it, or write the image anyway with --force"))
    upper = set(windows_upper(p) for p in tree)
    for path in menu_files(report["items"], drive):
        if on_disc(folder, path) and windows_upper(path) not in upper and \
                windows_upper(path) not in set(windows_upper(l[0]) for l in lacks):
            lacks.append((path.replace("/", "\\"), 0, "image-menu-name",
                          "a command names this file, and the image's Joliet tree has it under no such name",
                          "rename the file as the menu names it"))
    return len(tree), lacks


def writable_output(path, folder):
    """Yields the absolute output path, or stops when it cannot be written."""
    out = os.path.realpath(path)
    parent = os.path.dirname(out)
    if not os.path.isdir(parent):
        raise Stop(2, f"{path}: cannot write: {parent} is not a folder")
    if not os.access(parent, os.W_OK):
        raise Stop(2, f"{path}: cannot write: {parent} is not writable")
    if os.path.isdir(out):
        raise Stop(2, f"{path}: cannot write: it is a folder")
    if out.startswith(folder + os.sep):
        raise Stop(2, f"{path}: the image cannot be written inside the folder it is made of")
    return out


def command_image(folder, menu, args):
    """Makes the image; yields 1 when refused for a warning."""
    own, options = split_options(args, {"-o": True, "--label": True, "--force": False})
    if "-o" not in own:
        raise Stop(2, "image needs -o OUT.iso")
    out = writable_output(own["-o"], folder)
    xorriso = shutil.which("xorriso")
    if not xorriso:
        raise Stop(2, "xorriso not found: install the Debian package xorriso (apt-get install xorriso)")
    report = menu_report(folder, menu, options)
    title = " ".join(own.get("--label", report["caption"]).split())
    iso, joliet = disc_labels(title, folder)
    adds, disc_warnings, notes = check_disc(folder, joliet)
    print_warnings(menu, report, disc_warnings, notes)
    if report["warnings"] or disc_warnings:
        if "--force" not in own:
            print("quorlan-disc: refused: the disc has warnings; nothing written (--force writes it anyway)",
                  file=sys.stderr)
            return 1
        print("quorlan-disc: writing the image despite the warnings (--force)")

    when = disc_time(folder)
    work = tempfile.mkdtemp(prefix=".quorlan-disc-", dir=os.path.dirname(out))
    try:
        grafts = [f"/={folder}"]
        added = []
        if not find_name(folder, PROGRAM):
            shutil.copyfile(QUORLAN_EXE, os.path.join(work, PROGRAM))
            added.append(PROGRAM)
        if not find_name(folder, AUTORUN):
            with open(os.path.join(work, AUTORUN), "wb") as inf:
                inf.write(autorun_text(joliet, title if iso_label(title) else joliet,
                                       int(option_value(options, "--codepage", "1252"))))
            added.append(AUTORUN)
        for name in added:
            os.utime(os.path.join(work, name), (when, when))
            grafts.append(f"/{name}={os.path.join(work, name)}")
        part = os.path.join(work, "image.iso")
        env = dict(os.environ, SOURCE_DATE_EPOCH=str(when), LC_ALL="C.UTF-8")
        long_names = [] if SHORT_JOLIET else ["-joliet-long"]
        done = subprocess.run([xorriso, "-as", "mkisofs", "-quiet", "-r", "-J"] + long_names +
                              ["-iso-level", "3", "-V", iso, "-o", part, "-graft-points"] + grafts,
                              env=env, capture_output=True)
        if done.returncode != 0 or not os.path.isfile(part):
            message = done.stderr.decode("utf-8", "replace").strip().splitlines()
            raise Stop(2, f"xorriso failed: {message[-1] if message else 'exit %d' % done.returncode}")
        set_joliet_label(part, joliet)
        held, lacks = read_back(part, folder, added, report, option_value(options, "--drive", "D"))
        print_disc_warnings(lacks)
        if lacks and "--force" not in own:
            print(f"quorlan-disc: refused: the image's Joliet tree lacks {len(lacks)} of the disc's names; "
                  "nothing written (--force writes it anyway)", file=sys.stderr)
            return 1
        os.replace(part, out)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    size = os.path.getsize(out)
    print(f"image: {shown(out)}")
    print(f"size:  {size:,} bytes ({size // SECTOR:,} sectors of {SECTOR:,} bytes)")
    print(f"files: {count_files(folder) + len(added)}" + (f", {' and '.join(added)} added" if added else ""))
    print(f"label: \"{iso}\" (ISO 9660), \"{joliet}\" (Joliet)")
    print(f"date:  {time.strftime('%Y-%m-%d %H:%M:%S UTC', time.gmtime(when))}")
    print(f"read back: {held} names in the Joliet tree" +
          (f", {len(lacks)} of the disc's missing" if lacks else ", each file under its own name"))
    return 0


def windows_path(path):
    """Yields the path by which Wine's drive Z: (the Linux root) reaches PATH."""
    return "Z:" + os.path.realpath(path).replace("/", "\\")


def wine_arch():
    """Yields which Wine runs here, 32 or 64, and why, as scripts/wine-env.sh
    decides for every script and test."""
    done = subprocess.run(["bash", WINE_ENV, "--arch"], stdout=subprocess.PIPE, text=True)
    lines = done.stdout.splitlines()
    if done.returncode != 0 or len(lines) != 2:
        raise Stop(2, f"no Wine can run on this machine ({WINE_ENV} --arch says why)")
    return lines[0], lines[1]


def wine(prefix, args, cwd=None, env=None, capture=True):
    """Runs ARGS (a command or a function of wine-env.sh) in the Wine prefix,
    which is made first if need be; yields the finished process."""
    return subprocess.run(["bash", WINE_ENV, prefix] + args, cwd=cwd, env=env,
                          stdout=subprocess.PIPE if capture else None, text=True, errors="replace")


# Inside the headless X server: the driver shows the menu and says when it
# is ready; the screen is taken; the driver closes the menu.
PICTURE_SCRIPT = """
"$WINELOADER" "$1" "$2" "$3" - >"$4/driver.log" 2>&1 &
driver=$!
tries=0
while [ ! -f "$4/ready" ] && [ $tries -lt 600 ] && kill -0 $driver 2>/dev/null; do
    sleep 0.1; tries=$((tries + 1))
done
sleep 1
import -window root "$4/screen.png"
touch "$4/shot-done"
wait $driver
"""


def command_preview(folder, menu, args):
    """Shows the menu from a CD-ROM drive; yields the driver's status."""
    own, rest = split_options(args, {"--select": True, "--picture": True, "--case": True, "--prefix": True})
    if rest:
        raise Stop(2, f"preview: unknown argument {rest[0]}")
    prefix = os.path.realpath(own.get("--prefix", DEFAULT_PREFIX))
    own_program = find_name(folder, PROGRAM)
    arch, why = wine_arch()
    driver = QUORLAN_DRIVER if arch == "32" else QUORLAN_DRIVER_X64
    for built in (QUORLAN_EXE_X64, QUORLAN_DRIVER_X64) if arch == "64" else ():
        if not os.path.isfile(built):
            raise Stop(2, f"{why}, and the 64-bit build that stands in is not there: {built} "
                          "(the win32 build makes it: cmake --build --preset win32)")
    letter = wine(prefix, ["quorlan_wine_cdrom", folder]).stdout.strip()
    if len(letter) != 1:
        raise Stop(2, f"{prefix}: the Wine prefix has no CD-ROM drive")
    drive = f"{shown(folder)} is drive {letter}: (CD-ROM); the menu runs"
    if arch == "64":
        # The same sources built for x86-64, started in the drive's root as
        # the disc's own program would be.
        program = windows_path(QUORLAN_EXE_X64)
        instead = f"the disc's own {letter}:\\{own_program}" if own_program else f"{WHOSE} {PROGRAM}"
        print(f"{drive} the 64-bit build of the same sources ({shown(QUORLAN_EXE_X64)}) in {letter}:\\, "
              f"in place of {instead}: {why}")
    elif own_program:
        program = f"{letter}:\\{own_program}"
        print(f"{drive} {program}, the disc's own")
    else:
        program = windows_path(QUORLAN_EXE)
        print(f"{drive} {WHOSE} {PROGRAM} ({shown(QUORLAN_EXE)}) in {letter}:\\")
    sys.stdout.flush()

    display = os.environ.get("DISPLAY") and subprocess.run(
        ["xdpyinfo"], capture_output=True).returncode == 0
    if display and "--case" not in own:
        return wine(prefix, ["sh", "-c", '"$WINELOADER" "$1"; "$WINESERVER" -w', "_", program], cwd=folder,
                    capture=False).returncode

    work = tempfile.mkdtemp(prefix="quorlan-preview-")
    try:
        env = dict(os.environ, QUORLAN_PROBE_OUT=windows_path(os.path.join(work, "probe.out")))
        if "--case" in own:
            if not os.path.isfile(own["--case"]):
                raise Stop(2, f"{own['--case']}: no such case file")
            done = wine(prefix, ["quorlan_wine_session", "sh", "-c", '"$WINELOADER" "$@"', "_", driver,
                                 program, windows_path(own["--case"]), "-"], cwd=folder, env=env)
            print(done.stdout.replace("\r", ""), end="")
            return 0 if done.returncode == 0 else 1
        picture = os.path.realpath(own.get("--picture", DEFAULT_PICTURE))
        case = os.path.join(work, "picture.case")
        with open(case, "w") as f:
            f.write(f"select {own.get('--select', '1')}\n"
                    f"signal {windows_path(work)}\\ready\n"
                    f"waitfile {windows_path(work)}\\shot-done\n"
                    "press close\nexpect exit 0\n=== existing\n")
        done = wine(prefix, ["quorlan_wine_session", "sh", "-c", PICTURE_SCRIPT, "_", driver, program,
                             windows_path(case), work], cwd=folder, env=env)
        if done.returncode != 0 or not os.path.isfile(os.path.join(work, "screen.png")):
            log = open(os.path.join(work, "driver.log"), errors="replace").read().strip().splitlines()
            raise Stop(2, f"the menu did not show: {log[0] if log else 'exit %d' % done.returncode}")
        # Wine's desktop around the window is one plain colour: trim it away.
        subprocess.run(["convert", os.path.join(work, "screen.png"), "-trim", "+repage", picture], check=True)
        print(f"picture of the menu: {shown(picture)}")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main(argv):
    if argv[:1] == ["help"] or "-h" in argv or "--help" in argv:
        print(USAGE)
        return 0
    if argv[:1] == ["--version"]:
        print(f"quorlan-disc {VERSION}")
        return 0
    verbs = {"check": command_check, "preview": command_preview, "image": command_image}
    if len(argv) < 2 or argv[0] not in verbs:
        raise Stop(2, "give a command and a folder: check DIR, preview DIR or image DIR -o OUT.iso (--help)")
    folder, menu = disc_folder(argv[1])
    return verbs[argv[0]](folder, menu, argv[2:])


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except Stop as stop:
        if stop.message:
            print(f"quorlan-disc: {stop.message}", file=sys.stderr)
        sys.exit(stop.status)
