#!/usr/bin/env python3
"""quorlan-disc: from a disc's folder to the menu as a CD shows it, and to
the disc's image.

The build writes this file into its folder (disc/CMakeLists.txt) with the
paths of what it runs filled in below: the Windows program it adds to a
disc and shows, the native quorlan-check, the end-to-end driver that
takes the headless pictures, and scripts/wine-env.sh for Wine; and the
64-bit build of the program and of the driver, which previews show where
32-bit Wine cannot run.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unicodedata

QUORLAN_EXE = "@QUORLAN_EXE@"
QUORLAN_CHECK = "@QUORLAN_CHECK@"
E2E_DRIVER = "@E2E_DRIVER@"
QUORLAN_EXE_X64 = "@QUORLAN_EXE_X64@"
QUORLAN_DRIVER_X64 = "@QUORLAN_DRIVER_X64@"
WINE_ENV = "@WINE_ENV@"
DEFAULT_PREFIX = "@DEFAULT_PREFIX@"
DEFAULT_PICTURE = "@DEFAULT_PICTURE@"

USAGE = """\
usage: quorlan-disc check DIR [CHECKER OPTIONS]
       quorlan-disc preview DIR [--select ITEM] [--picture PNG] [--case FILE] [--prefix DIR]
       quorlan-disc image DIR -o OUT.iso [--label TEXT] [--force] [CHECKER OPTIONS]

DIR is a disc's root folder, holding Quorlan.ini.

check    checks DIR/Quorlan.ini with quorlan-check (its options are passed on;
         the commands' files are looked up in DIR, the disc's root), and the
         disc: quorlan.exe present (or added by image), autorun.inf present
         and opening quorlan.exe (or written by image).
preview  shows the menu as the user sees it from a CD: DIR becomes a drive
         of type CD-ROM under Wine, and the disc's quorlan.exe (or the
         build's, not copied into DIR) starts in that drive's root folder.
         With a display the window opens; without one, a picture of it is
         saved to PNG (default: """ + DEFAULT_PICTURE + """) and its path printed.
           --select ITEM   the tree item selected in the picture, as 2/1 (default 1)
           --case FILE     drive the window with an end-to-end case file instead
           --prefix DIR    the Wine prefix (default: """ + DEFAULT_PREFIX + """)
image    checks as above and refuses when there is a warning (unless --force);
         then writes OUT.iso (ISO 9660 with Joliet and Rock Ridge) from DIR,
         adding quorlan.exe and autorun.inf where DIR has none, without
         changing DIR. The volume label is the menu's title unless --label.

Exit status: 0 done, 1 refused (a warning; for --case, a failed expectation),
2 bad arguments, missing or unreadable input, or nothing could be written."""

MENU, PROGRAM, AUTORUN = "Quorlan.ini", "quorlan.exe", "autorun.inf"
ISO_LABEL_MAX = 32     # ISO 9660 volume identifier: d-characters
JOLIET_LABEL_MAX = 16  # Joliet volume identifier: UCS-2 characters
JOLIET_FORBIDDEN = set('*/:;?\\')
SECTOR = 2048


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
        raise Stop(2, f"no checker at {QUORLAN_CHECK}: build it with "
                      "cmake --preset native && cmake --build --preset native --target quorlan-check")
    done = subprocess.run([QUORLAN_CHECK] + options + [menu], cwd=folder, capture_output=True)
    if done.returncode not in (0, 1):
        sys.stderr.buffer.write(done.stderr)
        raise Stop(2)
    return done.returncode, done.stdout


def autorun_opens(folder, name):
    """Yields the line of autorun.inf's open= in its [autorun] section and what
    it starts, (0, None) when it has none."""
    with open(os.path.join(folder, name), "rb") as inf:
        lines = inf.read().decode("latin-1").splitlines()
    section = ""
    for number, line in enumerate(lines, 1):
        text = line.strip()
        if text.startswith("["):
            section = text.strip("[]").strip().lower()
        elif section == "autorun" and "=" in text:
            key, value = text.split("=", 1)
            if key.strip().lower() == "open":
                value = value.strip()
                program = value[1:].split('"')[0] if value.startswith('"') else value.split(" ")[0]
                return number, program
    return 0, None


def check_disc(folder, label):
    """Yields what the image adds to the disc and the disc's own warnings
    (file, line, message, note), each at the start of its line."""
    adds, warnings = [], []
    if not find_name(folder, PROGRAM):
        adds.append(f"no {PROGRAM} in the folder: the image adds the build's ({shown(QUORLAN_EXE)})")
    autorun = find_name(folder, AUTORUN)
    if not autorun:
        adds.append(f"no {AUTORUN} in the folder: the image adds one that opens {PROGRAM}, "
                    f"label \"{label}\"")
        return adds, warnings
    line, program = autorun_opens(folder, autorun)
    if program is None:
        warnings.append((autorun, 1, f"no open= in an [autorun] section: the menu will not start "
                                     f"when the disc is inserted",
                         f"write [autorun] and open={PROGRAM} on the lines below it"))
    elif program.lower().lstrip("\\") != PROGRAM:
        warnings.append((autorun, line, f"open= starts \"{program}\", not {PROGRAM} in the disc's "
                                        f"root: the menu will not start when the disc is inserted",
                         f"write open={PROGRAM}"))
    return adds, warnings


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


def print_disc_warnings(disc_warnings):
    """The disc's own warnings, in the checker's format, each with its note."""
    for name, line, message, note in disc_warnings:
        print(f"{name}:{line}:1: warning: {message}")
        print(f"{name}:{line}:1: note: {note}")


def print_warnings(menu, report, disc_warnings):
    """The checker's warnings as it prints them, each with its note, then the disc's."""
    for w in report["warnings"]:
        print(f"{menu}:{w['line']}:{w['column']}: warning: {w['message']}")
        print(f"{menu}:{w['note_line']}:{w['note_column']}: note: {w['note']}")
    print_disc_warnings(disc_warnings)


def command_check(folder, menu, options):
    """Prints the checker's report and the disc's; yields 1 on a warning."""
    report = menu_report(folder, menu, options)
    adds, warnings = check_disc(folder, disc_labels(report["caption"], folder)[1])
    if "--json" in options:
        report["disc"] = {"adds": adds, "warnings": [{"file": f, "line": n, "column": 1, "message": m, "note": t}
                                                     for f, n, m, t in warnings]}
        print(json.dumps(report, ensure_ascii=False))
    else:
        status, out = run_checker(folder, menu, options)
        sys.stdout.flush()
        sys.stdout.buffer.write(out)
        for note in adds:
            print(f"disc: {note}")
        print_disc_warnings(warnings)
        if not adds and not warnings:
            print(f"disc: {PROGRAM} and {AUTORUN} present, and {AUTORUN} opens {PROGRAM}")
    return 1 if report["warnings"] or warnings else 0


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
    iso, joliet = disc_labels(own.get("--label", report["caption"]), folder)
    adds, disc_warnings = check_disc(folder, joliet)
    print_warnings(menu, report, disc_warnings)
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
                inf.write(f"[autorun]\r\nopen={PROGRAM}\r\nicon={PROGRAM},0\r\nlabel={joliet}\r\n"
                          .encode("cp1252", "replace"))
            added.append(AUTORUN)
        for name in added:
            os.utime(os.path.join(work, name), (when, when))
            grafts.append(f"/{name}={os.path.join(work, name)}")
        part = os.path.join(work, "image.iso")
        env = dict(os.environ, SOURCE_DATE_EPOCH=str(when), LC_ALL="C.UTF-8")
        done = subprocess.run([xorriso, "-as", "mkisofs", "-quiet", "-r", "-J", "-iso-level", "3",
                               "-V", iso, "-o", part, "-graft-points"] + grafts,
                              env=env, capture_output=True)
        if done.returncode != 0 or not os.path.isfile(part):
            message = done.stderr.decode("utf-8", "replace").strip().splitlines()
            raise Stop(2, f"xorriso failed: {message[-1] if message else 'exit %d' % done.returncode}")
        set_joliet_label(part, joliet)
        os.replace(part, out)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    size = os.path.getsize(out)
    print(f"image: {shown(out)}")
    print(f"size:  {size:,} bytes ({size // SECTOR:,} sectors of {SECTOR:,} bytes)")
    print(f"files: {count_files(folder) + len(added)}" + (f", {' and '.join(added)} added" if added else ""))
    print(f"label: \"{iso}\" (ISO 9660), \"{joliet}\" (Joliet)")
    print(f"date:  {time.strftime('%Y-%m-%d %H:%M:%S UTC', time.gmtime(when))}")
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
        raise Stop(2, "no Wine can run on this machine (scripts/wine-env.sh --arch says why)")
    return lines[0], lines[1]


def wine(prefix, args, cwd=None, env=None, capture=True):
    """Runs ARGS (a command or a function of wine-env.sh) in the Wine prefix,
    which is made first if need be; yields the finished process."""
    return subprocess.run(["bash", WINE_ENV, prefix] + args, cwd=cwd, env=env,
                          stdout=subprocess.PIPE if capture else None, text=True)


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
    driver = E2E_DRIVER if arch == "32" else QUORLAN_DRIVER_X64
    for built in (QUORLAN_EXE_X64, QUORLAN_DRIVER_X64) if arch == "64" else ():
        if not os.path.isfile(built):
            raise Stop(2, f"{why}, and the 64-bit build that stands in is not there: {built} "
                          "(cmake --preset win64 && cmake --build --preset win64)")
    letter = wine(prefix, ["quorlan_wine_cdrom", folder]).stdout.strip()
    if len(letter) != 1:
        raise Stop(2, f"{prefix}: the Wine prefix has no CD-ROM drive")
    drive = f"{shown(folder)} is drive {letter}: (CD-ROM); the menu runs"
    if arch == "64":
        # The same sources built for x86-64, started in the drive's root as
        # the disc's own program would be.
        program = windows_path(QUORLAN_EXE_X64)
        instead = f"the disc's own {letter}:\\{own_program}" if own_program else f"the build's {PROGRAM}"
        print(f"{drive} the 64-bit build of the same sources ({shown(QUORLAN_EXE_X64)}) in {letter}:\\, "
              f"in place of {instead}: {why}")
    elif own_program:
        program = f"{letter}:\\{own_program}"
        print(f"{drive} {program}, the disc's own")
    else:
        program = windows_path(QUORLAN_EXE)
        print(f"{drive} the build's {PROGRAM} ({shown(QUORLAN_EXE)}) in {letter}:\\")
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
