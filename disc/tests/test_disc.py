#!/usr/bin/env python3
"""Tests of quorlan-disc, the built tool run as an author runs it.

  test_disc.py ImageTest QUORLAN-DISC QUORLAN.EXE SOURCE
      The example disc's image read back with osirrox (its files in the
      Joliet tree, as Windows reads it, and in the Rock Ridge tree), its
      labels and date, a second run's bytes; labels cut and mapped; then a
      table of refusals and of what check says.
  test_disc.py CdTest QUORLAN-DISC PROBE.EXE WINEPREFIX SOURCE
      End to end under Wine: an image's contents, extracted with osirrox,
      previewed as a CD-ROM drive, driven by disc/tests/cd.case.
"""
import json
import os
import pathlib
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

ARGS = sys.argv[2:]  # after the test class's name

SECTOR = 2048
FIXED_TIME = 981173106  # 2001-02-03 04:05:06 UTC


def run(tool, args, env=None, timeout=120):
    return subprocess.run([sys.executable, tool] + args, capture_output=True, text=True, env=env,
                          timeout=timeout)


def make_folder(folder, files):
    for name, data in files.items():
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def read_folder(folder):
    """Yields each file below FOLDER by its path there, with its bytes and time."""
    found = {}
    for root, dirs, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            found[os.path.relpath(path, folder)] = (pathlib.Path(path).read_bytes(), os.stat(path).st_mtime)
    return found


def remove(folder):
    """Removes FOLDER, made writable first (an image's files come out read-only)."""
    for root, dirs, names in os.walk(folder):
        os.chmod(root, stat.S_IRWXU)
    shutil.rmtree(folder, ignore_errors=True)


def extract(iso, tree, folder):
    """Extracts the image's TREE: "norock" reads the Joliet tree (as Windows
    does), "nojoliet" the Rock Ridge one."""
    subprocess.run(["osirrox", "-indev", iso, "-read_fs", tree, "-extract", "/", folder],
                   check=True, capture_output=True)


def image_files(iso, tree, work):
    folder = os.path.join(work, "extracted-" + tree)
    extract(iso, tree, folder)
    files = {name: data for name, (data, mtime) in read_folder(folder).items()}
    remove(folder)
    return files


def labels(iso):
    """Yields the image's ISO 9660 volume identifier (as xorriso reports it)
    and its Joliet one (read from the Joliet volume descriptor)."""
    info = subprocess.run(["xorriso", "-indev", iso, "-pvd_info"], capture_output=True, text=True).stdout
    fields = dict((part.strip() for part in line.split(":", 1)) for line in info.splitlines() if ":" in line)
    joliet = None
    with open(iso, "rb") as f:
        for sector in range(17, 32):
            f.seek(sector * SECTOR)
            head = f.read(72)
            if head[0] == 2:
                joliet = head[40:72].decode("utf-16-be").rstrip()
    return fields.get("Volume Id"), joliet, fields.get("Creation Time")


def check_example_image(tool, exe, source, work, fail):
    """The example disc's image holds the folder and quorlan.exe, with its
    labels and date as documented; a second run gives the same bytes."""
    disc = os.path.join(work, "example")
    shutil.copytree(os.path.join(source, "examples"), disc)
    for root, dirs, names in os.walk(disc):
        for name in names:
            os.utime(os.path.join(root, name), (FIXED_TIME - 3600, FIXED_TIME - 3600))
    os.utime(os.path.join(disc, "readme.txt"), (FIXED_TIME, FIXED_TIME))
    before = read_folder(disc)
    images = [os.path.join(work, "first.iso"), os.path.join(work, "second.iso")]
    for iso in images:
        done = run(tool, ["image", disc, "-o", iso])
        if done.returncode != 0:
            fail(f"image of the example disc: exit {done.returncode}\n{done.stdout}{done.stderr}")
            return
    if "files: 7, quorlan.exe added" not in done.stdout:
        fail(f"image of the example disc does not say its file count:\n{done.stdout}")

    wanted = {name: data for name, (data, mtime) in before.items()}
    wanted["quorlan.exe"] = pathlib.Path(exe).read_bytes()
    for tree in ("norock", "nojoliet"):
        got = image_files(images[0], tree, work)
        if got != wanted:
            fail(f"the image's files ({tree}): {sorted(got)}, expected {sorted(wanted)}, or their bytes differ")
    iso_label, joliet_label, created = labels(images[0])
    if (iso_label, joliet_label) != ("QUORLAN_EXAMPLE_DISC", "Quorlan Example"):
        fail(f"the example disc's labels: {iso_label!r} (ISO 9660), {joliet_label!r} (Joliet)")
    if created != "2001020304050600":
        fail(f"the image's creation time {created}, expected the newest file's, 2001020304050600")
    if pathlib.Path(images[0]).read_bytes() != pathlib.Path(images[1]).read_bytes():
        fail("a second image of the same folder differs")
    if read_folder(disc) != before:
        fail("making the image changed the author's folder")


# A title (or --label) to the labels: ISO 9660 capitals, digits and '_', up
# to 32; Joliet up to 16 characters, '_' for those it does not allow; a
# title of nothing ISO 9660 can write gives way to the folder's name.
LABELS = [
    ("accents and symbols", "Démo: Disc*2 / été".encode("cp1252"), [], "DEMO_DISC_2_ETE", "Démo_ Disc_2 _ é"),
    ("cut at 32 and 16", b"T", ["--label", "A Very Long Title For This Disc, Volume 2"],
     "A_VERY_LONG_TITLE_FOR_THIS_DISC", "A Very Long Titl"),
    ("nothing to write: the folder's name", b"***", [], "MY_DISC", "my-disc"),
]


def check_labels(tool, work, fail):
    """Each row of LABELS gives its labels; the autorun.inf written opens the menu."""
    for name, title, args, iso_wanted, joliet_wanted in LABELS:
        disc = os.path.join(work, "labels", "my-disc")
        make_folder(disc, {"Quorlan.ini": title + b"\n{ A }\n"})
        iso = os.path.join(work, "labels.iso")
        done = run(tool, ["image", disc, "-o", iso] + args)
        got = labels(iso)[:2] if done.returncode == 0 else (done.stdout + done.stderr, None)
        if got != (iso_wanted, joliet_wanted):
            fail(f"labels, {name}: {got}, expected {(iso_wanted, joliet_wanted)}")
        elif name == LABELS[0][0]:
            autorun = image_files(iso, "norock", work)["autorun.inf"].decode("cp1252").split("\r\n")
            title = title.decode("cp1252")
            if autorun[:2] != ["[autorun]", "open=quorlan.exe"] or f"label={joliet_wanted}" not in autorun \
                    or f"action=Open the menu of {title}" not in autorun:
                fail(f"the autorun.inf written into the image: {autorun}")
        remove(os.path.join(work, "labels"))


WARNED = {"Quorlan.ini": b"Disc, Sorted\n{ A, a.txt }\n", "a.txt": b"text"}
CLEAN = {"Quorlan.ini": b"Disc\n{ A, a.txt }\n", "a.txt": b"text"}
OTHER_AUTORUN = dict(CLEAN, **{"autorun.inf": b"[autorun]\r\nopen=setup.exe\r\n"})
NO_ACTION = dict(CLEAN, **{"autorun.inf": b"[autorun]\r\nopen=quorlan.exe\r\n"})

# name, the disc folder's files, the arguments (DISC, OUT and FILE stand
# for the folder, the output folder and a plain file), exit status, text
# expected in the output, and whether the image is written.
ROWS = [
    ("a menu with a warning", WARNED, ["image", "DISC", "-o", "OUT/x.iso"], 1,
     'Quorlan.ini:1:7: warning: option "Sorted" is not recognised and is ignored: options are case-sensitive [option-case]\n'
     'Quorlan.ini:1:7: note: write it as "sorted"\n', False),
    ("--force", WARNED, ["image", "DISC", "-o", "OUT/x.iso", "--force"], 0, "image: ", True),
    ("a clean menu", CLEAN, ["image", "DISC", "-o", "OUT/x.iso", "--drive", "E"], 0, "files: 4", True),
    ("no Quorlan.ini", {"a.txt": b""}, ["image", "DISC", "-o", "OUT/x.iso"], 2, "no Quorlan.ini", False),
    ("no such folder", CLEAN, ["image", "DISC/none", "-o", "OUT/x.iso"], 2, "no such folder", False),
    ("output under a plain file", CLEAN, ["image", "DISC", "-o", "FILE/x.iso"], 2, "cannot write", False),
    ("output inside the folder", CLEAN, ["image", "DISC", "-o", "DISC/x.iso"], 2, "inside the folder", False),
    ("no -o", CLEAN, ["image", "DISC"], 2, "needs -o", False),
    ("no xorriso on the path", CLEAN, ["image", "DISC", "-o", "OUT/x.iso"], 2, "package xorriso", False),
    ("the checker refuses its options", CLEAN, ["image", "DISC", "-o", "OUT/x.iso", "--drive", "12"], 2,
     "quorlan-check: ", False),
    ("no verb", CLEAN, ["DISC"], 2, "give a command", False),
    ("check: clean, quorlan.exe to be added", CLEAN, ["check", "DISC"], 0,
     "disc: no quorlan.exe in the folder: the image adds the build's", False),
    ("check: autorun.inf opens another program", OTHER_AUTORUN, ["check", "DISC"], 1,
     'autorun.inf:2:1: warning: open= starts "setup.exe"', False),
    ("check: a warning of the menu", WARNED, ["check", "DISC", "--no-files"], 1, "Quorlan.ini:1:7: warning:", False),
    ("check --fix: the menu mended in the one run", WARNED, ["check", "DISC", "--no-files", "--fix"], 0,
     'Quorlan.ini:1:7: fixed: write it as "sorted" [option-case]\ncaption: "Disc"\n', False),
    ("check: autorun.inf without action= is a note", NO_ACTION, ["check", "DISC"], 0,
     "autorun.inf:1:1: note: no action= in the [autorun] section", False),
    ("image: autorun.inf without action= is no refusal", NO_ACTION, ["image", "DISC", "-o", "OUT/x.iso"], 0,
     "autorun.inf:1:1: note: no action=", True),
    ("check --json", CLEAN, ["check", "DISC", "--json"], 0, '"disc": {"adds": ["no quorlan.exe', False),
    ("preview: an unknown option", CLEAN, ["preview", "DISC", "--colour"], 2, "unknown argument", False),
]


def check_rows(tool, work, fail):
    """Each row of ROWS gives its exit status and message, and writes the
    image or leaves the output folder empty."""
    empty_path = os.path.join(work, "empty-path")
    os.makedirs(empty_path)
    for name, files, args, status, text, writes in ROWS:
        case = os.path.join(work, "row")
        disc, out, plain = (os.path.join(case, n) for n in ("disc", "out", "file"))
        make_folder(disc, files)
        os.makedirs(out)
        open(plain, "w").close()
        args = [a.replace("DISC", disc).replace("OUT", out).replace("FILE", plain) for a in args]
        env = dict(os.environ, PATH=empty_path) if "xorriso" in name else None
        done = run(tool, args, env=env)
        said = done.stdout + done.stderr
        if done.returncode != status or text not in said:
            fail(f"{name}: exit {done.returncode}, expected {status} and {text!r} in:\n{said}")
        if status == 2 and (done.stderr.count("\n") != 1 or not done.stderr.startswith(("quorlan-disc: ",
                                                                                         "quorlan-check: "))):
            fail(f"{name}: not one line on standard error: {done.stderr!r}")
        if "--json" in args and done.returncode == 0 and "disc" not in json.loads(done.stdout):
            fail(f"{name}: no disc in the JSON report")
        if sorted(os.listdir(out)) != (["x.iso"] if writes else []):
            fail(f"{name}: the output folder holds {sorted(os.listdir(out))}")
        remove(case)


def long_name(length, extension=""):
    """A name of LENGTH characters, its extension counted."""
    return ("n%d-" % length).ljust(length - len(extension), "x") + extension


def deep_path(levels, name):
    return "/".join("d%d" % i for i in range(levels)) + "/" + name


LONG_FOLDERS = "/".join(("p%d" % i).ljust(60, "p") for i in range(4))  # 243 characters


# name, the disc's files besides the menu (the menu names the first), and
# the warning expected (None: the image is written and read back whole).
# The Joliet tree keeps 103 characters, the dot of an extension not counted.
NAMES = [
    ("64, with an extension", [long_name(64, ".txt")], None),
    ("65, with an extension", [long_name(65, ".txt")], None),
    ("64, without", [long_name(64)], None),
    ("65, without", [long_name(65)], None),
    ("103, with an extension", [long_name(103, ".txt")], None),
    ("104, with an extension", [long_name(104, ".txt")], None),
    ("105, with an extension", [long_name(105, ".txt")], "has 105 characters: the disc keeps 103"),
    ("103, without", [long_name(103)], None),
    ("104, without", [long_name(104)], "has 104 characters: the disc keeps 103"),
    ("105, without", [long_name(105)], "has 105 characters"),
    ("a path 12 folders deep", [deep_path(12, "deep.txt")], None),
    ("a path of 256 characters", [LONG_FOLDERS + "/" + "x" * 8 + ".txt"], None),
    ("a path of 257", [LONG_FOLDERS + "/" + "x" * 9 + ".txt"], "the path has 257 characters: Windows opens 256"),
    ("two names that become one", [long_name(120, "-1.txt"), long_name(120, "-2.txt")],
     "the name becomes one with"),
    ("two that differ in case only", ["Case.txt", "case.txt"], "the name becomes one with \"Case.txt\""),
    ("a name with a character Joliet does not allow", ["a:b.txt"], "which a Joliet name or Windows does not"),
    ("a name that is not UTF-8", [b"f\xfcr.txt"], "the name is not UTF-8"),
]


def check_names(tool, work, fail):
    """Each row of NAMES: image refuses with the warning, or writes the image
    and its read-back finds every file under its name."""
    for name, files, warning in NAMES:
        disc = os.path.join(work, "names")
        first = files[0] if isinstance(files[0], str) else files[0].decode("latin-1")
        menu = b"Names\n{ First, '\"" + first.replace("/", "\\").encode("latin-1", "replace") + b"\"' }\n"
        os.makedirs(disc)
        make_folder(os.fsencode(disc), dict([(b"Quorlan.ini", menu)] +
                                            [(os.fsencode(f), b"x") for f in files]))
        iso = os.path.join(work, "names.iso")
        done = run(tool, ["image", disc, "-o", iso, "--no-files"])
        said = done.stdout + done.stderr
        if warning is None and (done.returncode != 0 or "each file under its own name" not in said):
            fail(f"names, {name}: exit {done.returncode}, expected the image read back whole:\n{said}")
        if warning is not None and (done.returncode != 1 or warning not in said or os.path.exists(iso)):
            fail(f"names, {name}: exit {done.returncode}, expected a refusal and {warning!r}:\n{said}")
        remove(disc)
        if os.path.exists(iso):
            os.remove(iso)


def check_read_back(tool, work, fail):
    """An image made without the long Joliet names (a test switch) is caught
    by the read-back: refused, nothing written; with --force, written."""
    disc = os.path.join(work, "read-back")
    file = "a_really_long_file_name_that_goes_past_sixty_four_characters_for_joliet_limit_test.txt"
    make_folder(disc, {"Quorlan.ini": b"Long\n{ Long, " + file.encode() + b" }\n", file: b"x"})
    iso = os.path.join(work, "read-back.iso")
    env = dict(os.environ, QUORLAN_DISC_TEST_SHORT_JOLIET="1")
    done = run(tool, ["image", disc, "-o", iso], env=env)
    said = done.stdout + done.stderr
    if done.returncode != 1 or os.path.exists(iso) or \
            f"{file}: warning: not in the image's Joliet tree, which Windows reads" not in said or \
            "a command names this file" in said or "refused: the image's Joliet tree lacks 1" not in said:
        fail(f"a cut name in the image: exit {done.returncode}, expected it refused by the read-back:\n{said}")
    done = run(tool, ["image", disc, "-o", iso, "--force"], env=env)
    if done.returncode != 0 or not os.path.exists(iso) or "1 of the disc's missing" not in done.stdout:
        fail(f"a cut name with --force: exit {done.returncode}, expected written:\n{done.stdout}{done.stderr}")


def check_cd(tool, probe, prefix, source, work, fail):
    """The image's contents as a CD: the menu runs from the CD's own
    quorlan.exe and starts the probe from it (cd.case)."""
    disc = os.path.join(work, "cd-folder")
    make_folder(disc, {"Quorlan.ini": b"CD Test\n{ Probe, %:\\sub\\probe.exe /cd, Starts the probe from the CD }\n",
                       "sub/probe.exe": pathlib.Path(probe).read_bytes()})
    iso = os.path.join(work, "cd.iso")
    done = run(tool, ["image", disc, "-o", iso])
    if done.returncode != 0:
        fail(f"image: exit {done.returncode}\n{done.stdout}{done.stderr}")
        return
    cd = os.path.join(work, "cd")
    extract(iso, "norock", cd)
    case = os.path.join(source, "disc", "tests", "cd.case")
    done = run(tool, ["preview", cd, "--case", case, "--prefix", prefix], timeout=300)
    print(done.stdout + done.stderr, end="")
    if done.returncode != 0 or "(CD-ROM); the menu runs " not in done.stdout:
        fail(f"preview of the extracted image as a CD: exit {done.returncode}")
    letter = done.stdout.split(" is drive ")[-1][:1]
    # Where no 32-bit code runs, the 64-bit build stands in for the CD's
    # program, in the CD's root, and says so.
    if (f"the menu runs {letter}:\\quorlan.exe" not in done.stdout and
            f"in place of the disc's own {letter}:\\quorlan.exe" not in done.stdout):
        fail(f"the menu did not run from the CD's own quorlan.exe:\n{done.stdout}")
    remove(cd)


# A disc with names beyond ASCII: the folder of the probe (UTF-8 on Linux,
# as the author's files are), the menu's encoding and code page, the menu
# naming it (in other case where Windows ignores it), and the locale the
# users' Windows runs in. name, folder, encoding, checker options,
# environment.
FOREIGN = [
    ("a marked UTF-8 menu", "Treiber für Windows/x64", "utf-8-sig", [], {}),
    ("a code page 1252 menu", "Docs/Handbuch – Übersicht", "cp1252", [], {}),
    ("a code page 1251 menu", "Драйверы/Для Windows", "cp1251", ["--codepage", "1251"],
     {"LC_ALL": "ru_RU.UTF-8", "LANG": "ru_RU.UTF-8"}),
]


def locale_environment(locale, work):
    """Yields the environment of LOCALE. Wine reads file names in the C
    library's character set of that locale, so where the system has not
    generated it, it is made for this run (localedef, from the package
    locales) and found through LOCPATH."""
    name = locale.get("LC_ALL")
    if not name:
        return locale
    have = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.lower().split()
    if name.lower().replace("utf-8", "utf8") in have:
        return locale
    folder = os.path.join(work, "locales")
    language, charset = name.split(".")
    os.makedirs(folder, exist_ok=True)
    subprocess.run(["localedef", "-i", language, "-f", charset, os.path.join(folder, name)],
                   check=True, capture_output=True)
    return dict(locale, LOCPATH=folder)


def check_foreign_cd(tool, probe, prefix, source, work, fail):
    """Each disc of FOREIGN checks clean, its image is made, and the image's
    contents as a CD under Wine start the probe from its folder."""
    for name, folder, encoding, options, locale in FOREIGN:
        disc = os.path.join(work, "foreign")
        menu_name = folder.upper().replace("/", "\\") if encoding != "utf-8-sig" else folder.replace("/", "\\")
        command = f"'\"%:\\{menu_name}\\probe.exe\" /cd'"
        make_folder(disc, {"Quorlan.ini": f"Foreign\n{{ Probe, {command}, Starts the probe }}\n".encode(encoding),
                           folder + "/probe.exe": pathlib.Path(probe).read_bytes()})
        done = run(tool, ["check", disc] + options)
        if done.returncode != 0 or "warning" in done.stdout:
            fail(f"{name}: check: exit {done.returncode}\n{done.stdout}{done.stderr}")
        iso = os.path.join(work, "foreign.iso")
        done = run(tool, ["image", disc, "-o", iso] + options)
        if done.returncode != 0:
            fail(f"{name}: image: exit {done.returncode}\n{done.stdout}{done.stderr}")
            remove(disc)
            continue
        cd = os.path.join(work, "cd")
        extract(iso, "norock", cd)
        # The probe reports its folder as the shell got it from the menu, in
        # the users' code page.
        code_page = "cp1251" if "1251" in options else "cp1252"
        shown_folder = "".join(c if c.isascii() else "<x%02X>" % c.encode(code_page)[0] for c in menu_name)
        case = os.path.join(work, "foreign.case")
        with open(case, "w") as f:
            f.write("expect drive-type cdrom\nselect 1\npress run\nexpect started /cd\n"
                    f"expect folder @DRIVE@:\\{shown_folder}\npress close\nexpect exit 0\n=== existing\n")
        done = run(tool, ["preview", cd, "--case", case, "--prefix", prefix],
                   env=dict(os.environ, **locale_environment(locale, work)), timeout=300)
        if done.returncode != 0:
            fail(f"{name}: the image as a CD: exit {done.returncode}\n{done.stdout}{done.stderr}")
        remove(cd)
        remove(disc)


class Test(unittest.TestCase):
    """Runs a check in a folder of its own; each failure it reports fails the test."""

    def run_check(self, check, *args):
        work = tempfile.mkdtemp(prefix="quorlan-disc-test-")
        self.addCleanup(remove, work)
        failures = []
        check(*args, work, failures.append)
        if failures:
            self.fail("\n".join(failures))


class ImageTest(Test):
    def test_example_image(self):
        self.run_check(check_example_image, *ARGS[:3])

    def test_labels(self):
        self.run_check(check_labels, ARGS[0])

    def test_rows(self):
        self.run_check(check_rows, ARGS[0])

    def test_names(self):
        self.run_check(check_names, ARGS[0])

    def test_read_back(self):
        self.run_check(check_read_back, ARGS[0])


class CdTest(Test):
    def test_cd(self):
        self.run_check(check_cd, *ARGS[:4])

    def test_foreign_cd(self):
        self.run_check(check_foreign_cd, *ARGS[:4])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:2])
