#!/usr/bin/env python3
"""test_vsix.py VSIX VERSION CHECKER...: the packaged VS Code extension holds
what it needs to run (its manifest, the grammar and language configuration
it names, its code and the language client it loads, the CHECKERs of this
build byte for byte in bin/, with their notices, and the type of each
file in [Content_Types].xml) and nothing of the development (tests, tools,
vsce, the grammar tester, the lock file); it stays under 1.5 MB; and,
unpacked, with no quorlan-check on the PATH, the checker it carries for
this system, started as the extension starts it, warns of a slip in a menu.
Each failure is printed on its own line; the exit status is 1 if any."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "vscode", "tools")
LARGEST = 1_500_000
# A comma missing at a line's end, which the carried checker must report.
SLIP = b"Demo disc\n{\n  Read me, readme.txt\n  Setup, setup.exe\n}\n"
SLIP_WARNING = "3:22 [missing-comma]"

NEEDED = ["extension.vsixmanifest", "extension/package.json", "extension/readme.md", "extension/LICENSE.txt",
          "extension/bin/NOTICES.txt", "extension/src/extension.js", "extension/src/launch.js",
          "extension/src/preview.js", "extension/node_modules/vscode-languageclient/node.js"]
NOT_SHIPPED = ["extension/test/", "extension/tools/", "extension/node_modules/@vscode/vsce/",
               "extension/node_modules/vscode-tmgrammar-test/", "extension/node_modules/.bin/",
               "extension/package-lock.json", "extension/.gitignore", "extension/.vscodeignore"]


def check_carried(vsix):
    """Yields the failures of the checker carried for this system, run by
    tools/carried-check.js on the unpacked extension, with a PATH that has
    no folder but an empty one."""
    node = shutil.which("node")
    with tempfile.TemporaryDirectory() as work:
        with zipfile.ZipFile(vsix) as z:
            z.extractall(work)
        menu = os.path.join(work, "disc", "Quorlan.ini")
        os.makedirs(os.path.dirname(menu))
        with open(menu, "wb") as f:
            f.write(SLIP)
        empty = os.path.join(work, "empty")
        os.mkdir(empty)
        done = subprocess.run([node, os.path.join(TOOLS, "carried-check.js"), os.path.join(work, "extension"), menu],
                              capture_output=True, text=True, env={**os.environ, "PATH": empty}, timeout=60)
    if done.returncode != 0 or SLIP_WARNING not in done.stdout:
        return [f"the carried checker gave no {SLIP_WARNING} (status {done.returncode}):\n"
                + done.stdout + done.stderr]
    return []


def main(vsix, version, checkers):
    failures = []
    with zipfile.ZipFile(vsix) as z:
        names = z.namelist()
        manifest = json.loads(z.read("extension/package.json"))
        types = z.read("[Content_Types].xml").decode()
        for checker in checkers:
            name = "extension/bin/" + os.path.basename(checker)
            with open(checker, "rb") as f:
                if name not in names or z.read(name) != f.read():
                    failures.append(f"{name} is not this build's {checker}")
    named_types = set(re.findall(r'<Default Extension="([^"]*)"', types))
    parts = [n for n in names if n != "[Content_Types].xml"]
    for extension in sorted({os.path.splitext(n)[1].lower() for n in parts} - {""} - named_types):
        failures.append(f"no content type for {extension} in [Content_Types].xml")
    size = os.path.getsize(vsix)
    if size >= LARGEST:
        failures.append(f"{size:,} bytes, not under {LARGEST:,}")
    contributes = manifest.get("contributes", {})
    languages = contributes.get("languages", [{}])
    grammars = contributes.get("grammars", [{}])
    settings = sorted(contributes.get("configuration", {}).get("properties", {}))
    expected = [
        ("version", manifest.get("version"), version),
        ("main", manifest.get("main"), "./src/extension.js"),
        ("the language's files", [l.get("filenames") for l in languages], [["Quorlan.ini"]]),
        ("the grammar's language", [g.get("language") for g in grammars], [languages[0].get("id")]),
        ("the settings", settings, ["quorlan.checkFiles", "quorlan.checkerPath", "quorlan.codePage",
                                    "quorlan.discToolPath", "quorlan.drive", "quorlan.ignore", "quorlan.programPath"]),
        ("the commands", [c.get("command") for c in contributes.get("commands", [])], ["quorlan.preview"]),
    ]
    for what, actual, wanted in expected:
        if actual != wanted:
            failures.append(f"{what}: {actual!r}, expected {wanted!r}")
    named = [g.get("path") for g in grammars] + [l.get("configuration") for l in languages]
    for name in NEEDED + ["extension/" + str(p).lstrip("./") for p in named]:
        if name not in names:
            failures.append(f"{name} is missing")
    for prefix in NOT_SHIPPED:
        found = [n for n in names if n.startswith(prefix)]
        if found:
            failures.append(f"{prefix} is shipped: {found[:3]}")
    failures += check_carried(vsix)
    for failure in failures:
        print("FAIL:", failure)
    print(f"{vsix}: {len(names)} files, {size:,} bytes, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) < 4:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3:]))
