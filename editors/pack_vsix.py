#!/usr/bin/env python3
"""pack_vsix.py EXTENSION-FOLDER LICENSE NOTICES OUT.vsix CHECKER...: packages
the VS Code extension with vsce, adds the project's licence as
extension/LICENSE.txt (vsce would only look for one in the extension's own
folder) and the checkers it carries under extension/bin/, by their names,
with the notices of the third-party code they hold as
extension/bin/NOTICES.txt, each file's type named in [Content_Types].xml;
then writes its entries again as the kit writes its own: the package's own
two files first, then the extension's in the order of their names, at the
kit's fixed time, deflated at a fixed level, with no owner or permissions.
vsce dates each entry by its file's time or the moment of packaging, and
orders them as the file system lists its folders, so without this two
builds would differ. Written under another name and renamed, so a failed
build leaves none.
"""
import os
import re
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "kit"))
from make_kit import entry_time  # noqa: E402

# The types of the files added that vsce may not have named.
CONTENT_TYPES = {".exe": "application/x-msdownload", ".wasm": "application/wasm", ".txt": "text/plain"}


def name_content_types(types, names):
    """Yields [Content_Types].xml with a Default for each extension of names
    that it lacks, all of them in the order of their extensions, as vsce
    writes them."""
    entries = dict(re.findall(r'<Default Extension="([^"]*)" ContentType="([^"]*)"/>', types))
    for name in names:
        extension = os.path.splitext(name)[1].lower()
        if extension and extension not in entries:
            entries[extension] = CONTENT_TYPES.get(extension, "application/octet-stream")
    defaults = "".join(f'<Default Extension="{e}" ContentType="{t}"/>' for e, t in sorted(entries.items()))
    return re.sub(r"(<Types[^>]*>).*(</Types>)", lambda m: m.group(1) + defaults + m.group(2), types,
                  flags=re.S).encode()


def main(folder, licence, notices, out, checkers):
    folder = os.path.abspath(folder)
    vsce = os.path.join(folder, "node_modules", "@vscode", "vsce", "vsce")
    when = entry_time()
    with tempfile.TemporaryDirectory() as work:
        packed = os.path.join(work, "packed.vsix")
        done = subprocess.run(["node", vsce, "package", "--skip-license", "--allow-missing-repository",
                               "--out", packed], cwd=folder, capture_output=True, text=True)
        if done.returncode != 0:
            sys.stderr.write(done.stdout + done.stderr)
            return 1
        part = out + ".part"
        with zipfile.ZipFile(packed) as source, zipfile.ZipFile(part, "w") as vsix:
            files = {"extension/LICENSE.txt": licence, "extension/bin/NOTICES.txt": notices}
            files.update({"extension/bin/" + os.path.basename(c): c for c in checkers})
            added = {}
            for name, path in files.items():
                with open(path, "rb") as f:
                    added[name] = f.read()
            types = "[Content_Types].xml"
            added[types] = name_content_types(source.read(types).decode(), list(added))
            names = set(source.namelist()) | set(added)
            for name in sorted(names, key=lambda name: (name.startswith("extension/"), name)):
                entry = zipfile.ZipInfo(name, when)
                entry.compress_type = zipfile.ZIP_DEFLATED
                entry.create_system = 0
                entry.external_attr = 0
                vsix.writestr(entry, added[name] if name in added else source.read(name), compresslevel=9)
    os.replace(part, out)
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 6:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:]))
