#!/usr/bin/env python3
"""pack_vsix.py EXTENSION-FOLDER LICENSE OUT.vsix: packages the VS Code
extension with vsce, adds the project's licence as extension/LICENSE.txt
(vsce would only look for one in the extension's own folder), then writes its entries again as the kit writes its own: the
package's own two files first, then the extension's in the order of their
names, at the kit's fixed time, deflated at a fixed level, with no owner or
permissions. vsce dates each entry by its file's time or the moment of
packaging, and orders them as the file system lists its folders, so
without this two builds would differ. Written under another name and renamed, so a failed build leaves none.
"""
import os
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "kit"))
from make_kit import entry_time  # noqa: E402


def main(folder, licence, out):
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
            with open(licence, "rb") as f:
                added = {"extension/LICENSE.txt": f.read()}
            for name in sorted(source.namelist() + list(added), key=lambda name: (name.startswith("extension/"), name)):
                entry = zipfile.ZipInfo(name, when)
                entry.compress_type = zipfile.ZIP_DEFLATED
                entry.create_system = 0
                entry.external_attr = 0
                vsix.writestr(entry, added[name] if name in added else source.read(name), compresslevel=9)
    os.replace(part, out)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3]))
