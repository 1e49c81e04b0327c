#!/usr/bin/env python3
"""The real program under Wine against quorlan-check: each menu is loaded by
quorlan.exe, its caption and whole tree read by the end-to-end driver, and
compared item by item with what quorlan-check shows for the same menu in
the same ANSI code page: 1252 (Wine's here), and 65001 (UTF-8, Wine's in
the locale hi_IN.UTF-8).

The menus in code page 1252: every seed of the menu fuzz corpus, as it is
and marked as UTF-8 (a byte-order mark before it), and a sorted menu whose
names hold every printable character of code page 1252, alone and inside
words, with digits, mixed case, hyphens and apostrophes inside words, and
equal names. In code page 65001: a UTF-8 menu with characters of two,
three and four bytes, some cut by a field's limit, one with bytes that are
not UTF-8, and the corpus's UTF-8 seed, each marked and not.

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


def Utf8Menus():
    """Menus for code page 65001, without the mark. The cut ones end a name
    at 1,023 bytes and a description at 8,191 inside a character, which a
    marked file drops whole; they are not compared unmarked, where the part
    kept is passed on as it is, and Wine, where it ends a text, takes the
    text's NUL into the replacement character and shows whatever follows."""
    cut = "".join("%s%s, x.exe, %s%s,\r\n" % ("n" * (1023 - n + 1), ch, "d" * (8191 - n + 1), ch)
                  for ch, n in (("é", 2), ("€", 3), ("😀", 4)))
    text = "Démo ✓ 😀\r\n{ Café, notepad café.txt, '€5 extra, für alle',\r\n  Ωmega { 文档, x.exe }\r\n"
    return [("utf8-65001", (text + "}\r\n").encode("utf-8"), True),
            ("utf8-cut-65001", (text + cut + "}\r\n").encode("utf-8"), False),
            ("not-utf8-65001", b"Disc \xdcbersicht\r\n{ Caf\xe9s, \x805, Cut \xe2\x82 here, \xc3 }\r\n", True)]


def ShownBytes(text, codepage):
    """The code page bytes of text as quorlan-check shows it."""
    if codepage == "65001":
        return text.encode("utf-8")
    out = bytearray()
    for ch in text:
        if ord(ch) in UNDEFINED_1252:
            out.append(ord(ch))
        else:
            out += ch.encode("cp1252")
    return bytes(out)


def CheckerLines(check, menu_path, codepage):
    # The driver runs the program in a folder on drive Z, Wine's root.
    done = subprocess.run([check, "--json", "--no-files", "--codepage", codepage, "--drive", "Z", menu_path],
                          capture_output=True, timeout=120)
    report = json.loads(done.stdout.decode("utf-8"))
    lines = ["caption " + ShownBytes(report["caption"], codepage).hex()]

    def Walk(items, depth):
        for item in items:
            lines.append("%d %s" % (depth, ShownBytes(item["text"], codepage).hex()))
            Walk(item["children"], depth + 1)
    Walk(report["items"], 0)
    return lines


def main(prefix, work, driver, quorlan, check, corpus, wine_env):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    menus = {("sorted-1252", "1252"): SortedMenu()}
    for name in sorted(os.listdir(corpus)):
        data = open(os.path.join(corpus, name), "rb").read()
        menus[(name, "1252")] = data
        if not data.startswith(MARK):
            menus[(name + "+mark", "1252")] = MARK + data
    seed = open(os.path.join(corpus, "utf8-mark.ini"), "rb").read()
    for name, data, unmarked in Utf8Menus() + [("utf8-mark.ini", seed[len(MARK):], True)]:
        if unmarked:
            menus[(name, "65001")] = data
        menus[(name + "+mark", "65001")] = MARK + data
    # One Wine session for each code page's menus: each run of the driver loads one.
    for codepage, locale in (("1252", None), ("65001", "hi_IN.UTF-8")):
        script = ""
        for index, ((name, menu_codepage), data) in enumerate(menus.items()):
            if menu_codepage != codepage:
                continue
            folder = os.path.join(work, str(index))
            os.makedirs(folder)
            open(os.path.join(folder, "menu.ini"), "wb").write(data)
            open(os.path.join(folder, "print.case"), "wb").write(
                b"expect codepage %s\nprint\npress close\nexpect exit 0\n=== Quorlan.ini\n" % codepage.encode()
                + data)
            script += 'cd "%s" && "$WINELOADER" "%s" "%s" print.case - >tree.txt 2>driver.log; ' % (folder, driver, quorlan)
        env = dict(os.environ, LC_ALL=locale) if locale else None
        subprocess.run([wine_env, prefix, "quorlan_wine_session", "sh", "-c", script], timeout=900, env=env)

    failures = 0
    for index, (name, codepage) in enumerate(menus):
        folder = os.path.join(work, str(index))
        printed = open(os.path.join(folder, "tree.txt"), "rb").read().decode().replace("\r", "").split("\n")
        real = [l for l in printed if l.startswith("caption ") or l[:1].isdigit() or l.startswith("FAIL")]
        shown = CheckerLines(check, os.path.join(folder, "menu.ini"), codepage)
        if real != shown:
            failures += 1
            where = next((i for i, (a, b) in enumerate(zip(real, shown)) if a != b), min(len(real), len(shown)))
            print("%s in code page %s: the program and quorlan-check differ at line %d of %d/%d:\n"
                  "  program: %s\n  checker: %s"
                  % (name, codepage, where + 1, len(real), len(shown), real[where:where + 3], shown[where:where + 3]))
    print("%d menus compared, %d differ" % (len(menus), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 8:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
