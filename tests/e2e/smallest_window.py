#!/usr/bin/env python3
"""The smallest window quorlan-check names, on the real program under Wine.

For a menu whose size= is too small, with and without the install option
(which hides the command box), the checker's note names the smallest size
that shows every control whole. At that size the real window shows every
control whole, and one pixel narrower or lower it does not; the checker
stays silent at that size.

usage: smallest_window.py PREFIX WORKDIR DRIVER QUORLAN QUORLAN-CHECK
"""
import json
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ENTRIES = "{ A, a.exe, d }\n"


def Warnings(check, folder, header):
    path = os.path.join(folder, "Quorlan.ini")
    with open(path, "w") as menu:
        menu.write(header + "\n" + ENTRIES)
    done = subprocess.run([check, "--json", "--no-files", path], capture_output=True, timeout=120)
    return json.loads(done.stdout.decode("utf-8"))["warnings"]


def main(prefix, work, driver, quorlan, check):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    failures = 0
    for name, options in (("plain", ""), ("install", ", install")):
        folder = os.path.join(work, name)
        os.makedirs(folder)
        notes = [w["note"] for w in Warnings(check, folder, "T, size=1x1" + options)]
        sizes = [re.search(r"(\d+)x(\d+) is the smallest size", note) for note in notes]
        sizes = [(int(m.group(1)), int(m.group(2))) for m in sizes if m]
        if len(sizes) != 1:
            print("%s: no one smallest size in the notes %s" % (name, notes))
            failures += 1
            continue
        width, height = sizes[0]
        header = "T, size=%dx%d%s" % (width, height, options)
        silent = Warnings(check, folder, header)
        if silent:
            print("%s: the checker warns at the smallest size %dx%d: %s" % (name, width, height, silent))
            failures += 1
        case = os.path.join(folder, name + ".case")
        with open(case, "w") as out:
            out.write("expect size %d %d\nexpect whole\n" % (width, height))
            out.write("resize %d %d\nexpect cramped\n" % (width - 1, height))
            out.write("resize %d %d\nexpect cramped\n" % (width, height - 1))
            out.write("resize %d %d\nexpect whole\n" % (width, height))
            out.write("press close\nexpect exit 0\n=== Quorlan.ini\n" + header + "\n" + ENTRIES)
        done = subprocess.run([os.path.join(HERE, "wine-run.sh"), prefix, os.path.join(folder, "wine"), driver,
                               quorlan, case, "-"], timeout=170)
        print("%s: smallest window %dx%d, %s under Wine" % (name, width, height,
                                                          "as named" if done.returncode == 0 else "NOT as named"))
        failures += done.returncode != 0
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
