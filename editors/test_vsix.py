#!/usr/bin/env python3
"""test_vsix.py VSIX VERSION: the packaged VS Code extension holds what it
needs to run (its manifest, the grammar and language configuration it
names, its code and the language client it loads) and nothing of the
development (tests, tools, vsce, the grammar tester, the lock file).
Each failure is printed on its own line; the exit status is 1 if any."""
import json
import sys
import zipfile

NEEDED = ["extension.vsixmanifest", "extension/package.json", "extension/readme.md", "extension/LICENSE.txt",
          "extension/src/extension.js", "extension/src/launch.js", "extension/src/preview.js",
          "extension/node_modules/vscode-languageclient/node.js"]
NOT_SHIPPED = ["extension/test/", "extension/tools/", "extension/node_modules/@vscode/vsce/",
               "extension/node_modules/vscode-tmgrammar-test/", "extension/node_modules/.bin/",
               "extension/package-lock.json", "extension/.gitignore", "extension/.vscodeignore"]


def main(vsix, version):
    failures = []
    with zipfile.ZipFile(vsix) as z:
        names = z.namelist()
        manifest = json.loads(z.read("extension/package.json"))
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
    for failure in failures:
        print("FAIL:", failure)
    print(f"{vsix}: {len(names)} files, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
