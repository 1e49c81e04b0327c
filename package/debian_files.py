#!/usr/bin/env python3
"""debian_files.py: the package's generated documents, each compressed
with gzip -9n as Debian wants them.

  debian_files.py changelog CHANGELOG.md MAINTAINER OUT.gz
      CHANGELOG.md in Debian's changelog format: a paragraph per release,
      "quorlan (VERSION) unstable; urgency=medium", its changes, and the
      maintainer's line with the release's date.
  debian_files.py man PAGE CHANGELOG.md VERSION OUT.gz
      The manual page PAGE with @MAN_DATE@ and @PROJECT_VERSION@ filled in.

The newest release, and every manual page, is dated SOURCE_DATE_EPOCH when
it is set, else by the newest release's date in CHANGELOG.md, so that two
builds of the same sources give the same bytes. gzip -n leaves out the
name and time that gzip would otherwise store.
"""
import datetime
import email.utils
import os
import re
import subprocess
import sys

HEADING = re.compile(r"^## (\S+) \((\d{4}-\d\d-\d\d)\)$")


def releases(path):
    """Yields (version, date, changes) for each release in CHANGELOG.md,
    newest first; changes are the list's items, each one string."""
    found = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            heading = HEADING.match(line)
            if heading:
                when = datetime.datetime.strptime(heading.group(2), "%Y-%m-%d")
                found.append((heading.group(1), when.replace(tzinfo=datetime.timezone.utc), []))
            elif found and line.startswith("- "):
                found[-1][2].append(line[2:])
            elif found and line.startswith("  ") and found[-1][2]:
                found[-1][2][-1] += " " + line.strip()
    if not found:
        sys.exit(f"{path}: no release heading '## VERSION (YYYY-MM-DD)'")
    return found


def newest_date(found):
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if epoch:
        return datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc)
    return found[0][1]


def wrap(text, first, rest, width=78):
    lines, line = [], first
    for word in text.split():
        if len(line) + len(word) > width and line.strip() not in ("", "*"):
            lines.append(line.rstrip())
            line = rest
        line += word + " "
    lines.append(line.rstrip())
    return lines


def changelog(found, maintainer):
    out = []
    for index, (version, when, changes) in enumerate(found):
        if index == 0:
            when = newest_date(found)
        out += [f"quorlan ({version}) unstable; urgency=medium", ""]
        for change in changes:
            out += wrap(change.replace("`", ""), "  * ", "    ")
        out += ["", f" -- {maintainer}  {email.utils.format_datetime(when)}", ""]
    return "\n".join(out[:-1]) + "\n"


def write_gzip(text, out):
    with open(out + ".part", "wb") as f:
        subprocess.run(["gzip", "-9n"], input=text.encode("utf-8"), stdout=f, check=True)
    os.replace(out + ".part", out)


def main(args):
    if len(args) == 4 and args[0] == "changelog":
        write_gzip(changelog(releases(args[1]), args[2]), args[3])
    elif len(args) == 5 and args[0] == "man":
        when = newest_date(releases(args[2]))
        with open(args[1], encoding="utf-8") as f:
            page = f.read()
        page = page.replace("@MAN_DATE@", f"{when:%B} {when.day}, {when.year}")
        write_gzip(page.replace("@PROJECT_VERSION@", args[3]), args[4])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
