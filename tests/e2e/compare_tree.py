#!/usr/bin/env python3
"""The real program under Wine against quorlan-check: each menu is loaded by
quorlan.exe, its caption and whole tree read by the end-to-end driver, and
compared item by item with what quorlan-check shows for the same menu in
code page 1252 (Wine's here).

The menus: every seed of the menu fuzz corpus, as it is and marked as UTF-8
(a byte-order mark before it), and a sorted menu whose names hold every
printable character of code page 1252, alone and inside words, with digits,
mixed case, hyphens and apostrophes inside words, and equal names.

usage: compare_tree.py PREFIX WORKDIR DRIVER QUORLAN QUORLAN-CHECK CORPUS WINE-ENV
"""
import json
import os
import shutil
import subprocess
import sys

MARK = b"\xef\xbb\xbf"
UNDEFINED_1252 = {0x81, 0x8D, 0x8F, 0x90, 0x9D}  # Windows shows them as U+0081 ...


def Escaped(byte):
    """One byte as menu text: the structural bytes and % escaped."""
    return (b"%" if byte in b"{},'%" else b"") + bytes([byte])


def SortedMenu():
    names = [b"coop", b"co-op", b"ab", b"a-c", b"_x", b"10", b"9", b"2", b"Apple", b"apple", b"APPLE",
             b"it%'s", b"its", b"same", b"same", b"Same", b"resume", b"r\xe9sum\xe9", b"role", b"r\xf4le"]
    for byte in range(0x21, 0x100):
        if byte == 0x7F or byte in UNDEFINED_1252:
            continue
        names.append(Escaped(byte))
        names.append(b"a" + Escaped(byte) + b"b")
    names.append(b"a b")
    return b"Every character, sorted\r\n{\r\n" + b"".join(n + b",\r\n" for n in names) + b"}\r\n"


def ShownBytes(text):
    """The code page 1252 bytes of text as quorlan-check shows it."""
    out = bytearray()
    for ch in text:
        if ord(ch) in UNDEFINED_1252:
            out.append(ord(ch))
        else:
            out += ch.encode("cp1252")
    return bytes(out)


def CheckerLines(check, menu_path):
    # The driver runs the program in a folder on drive Z, Wine's root.
    done = subprocess.run([check, "--json", "--no-files", "--codepage", "1252", "--drive", "Z", menu_path],
                          capture_output=True, timeout=120)
    report = json.loads(done.stdout.decode("utf-8"))
    lines = ["caption " + ShownBytes(report["caption"]).hex()]

    def Walk(items, depth):
        for item in items:
            lines.append("%d %s" % (depth, ShownBytes(item["text"]).hex()))
            Walk(item["children"], depth + 1)
    Walk(report["items"], 0)
    return lines


def main(prefix, work, driver, quorlan, check, corpus, wine_env):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    menus = {"sorted-1252": SortedMenu()}
    for name in sorted(os.listdir(corpus)):
        data = open(os.path.join(corpus, name), "rb").read()
        menus[name] = data
        if not data.startswith(MARK):
            menus[name + "+mark"] = MARK + data
    # One Wine session for every menu: each run of the driver loads one.
    script = ""
    for index, (name, data) in enumerate(menus.items()):
        folder = os.path.join(work, str(index))
        os.makedirs(folder)
        open(os.path.join(folder, "menu.ini"), "wb").write(data)
        open(os.path.join(folder, "print.case"), "wb").write(
            b"print\npress close\nexpect exit 0\n=== Quorlan.ini\n" + data)
        script += 'cd "%s" && "$WINELOADER" "%s" "%s" print.case - >tree.txt 2>driver.log; ' % (folder, driver, quorlan)
    subprocess.run([wine_env, prefix, "quorlan_wine_session", "sh", "-c", script], timeout=900)

    failures = 0
    for index, name in enumerate(menus):
        folder = os.path.join(work, str(index))
        printed = open(os.path.join(folder, "tree.txt"), "rb").read().decode().replace("\r", "").split("\n")
        real = [l for l in printed if l.startswith("caption ") or l[:1].isdigit()]
        shown = CheckerLines(check, os.path.join(folder, "menu.ini"))
        if real != shown:
            failures += 1
            where = next((i for i, (a, b) in enumerate(zip(real, shown)) if a != b), min(len(real), len(shown)))
            print("%s: the program and quorlan-check differ at line %d of %d/%d:\n  program: %s\n  checker: %s"
                  % (name, where + 1, len(real), len(shown), real[where:where + 3], shown[where:where + 3]))
    print("%d menus compared, %d differ" % (len(menus), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 8:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
