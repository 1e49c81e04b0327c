#!/usr/bin/env python3
"""make_kit.py OUT.zip FILE...: writes the kit an author on Windows downloads.

The same files give the same bytes: the entries in the order given, at the
top of the ZIP, each dated SOURCE_DATE_EPOCH when that is set, else at the
ZIP format's earliest time (1980-01-01 00:00), with no owner or Unix
permissions, deflated at a fixed level. Text files (.ini, .inf, .txt) get
CR LF line ends, as Windows editors expect. The ZIP is written under
another name and renamed, so a failed build leaves none.
"""
import os
import sys
import time
import zipfile

TEXT = (".ini", ".inf", ".txt")


def entry_time():
    """Yields the entries' date and time as the ZIP stores it."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    if epoch.isdigit():
        return time.gmtime(max(int(epoch), 315532800))[:6]
    return (1980, 1, 1, 0, 0, 0)


def main(out, files):
    when = entry_time()
    part = out + ".part"
    with zipfile.ZipFile(part, "w") as kit:
        for path in files:
            data = open(path, "rb").read()
            if path.lower().endswith(TEXT):
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            entry = zipfile.ZipInfo(os.path.basename(path), when)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0  # MS-DOS: no Unix owner or permissions
            entry.external_attr = 0
            kit.writestr(entry, data, compresslevel=9)
    os.replace(part, out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
