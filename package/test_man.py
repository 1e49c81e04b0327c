#!/usr/bin/env python3
"""test_man.py PAGES QUORLAN-CHECK QUORLAN-DISC: the built manual pages
(PAGES/*.gz) lint clean with mandoc -T lint and render with man --warnings
without a word, and each tool's page names every option its --help names,
and --help every option the page names. Each failure on its own line."""
import gzip
import os
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])(--?[a-z][a-z-]*)")


def page_options(text):
    """The options the mdoc page names: each Fl macro's arguments."""
    found = set()
    for line in text.splitlines():
        for match in re.finditer(r"\bFl (-?[a-z][a-z-]*|)", line):
            found.add("-" + match.group(1) if match.group(1) else "-")
        for match in re.finditer(r"\bFl -?[a-z-]+ \| (-[a-z-]+)", line):
            found.add("-" + match.group(1))
    found.discard("-")
    return found


def main(pages, check, disc):
    failures = []
    for name in sorted(os.listdir(pages)):
        if not name.endswith(".gz") or name == "changelog.gz":
            continue
        path = os.path.join(pages, name)
        text = gzip.open(path).read().decode("utf-8")
        lint = subprocess.run(["mandoc", "-T", "lint", "-W", "warning"], input=text, capture_output=True,
                              text=True)
        failures += [f"{name}: {line}" for line in (lint.stdout + lint.stderr).splitlines()]
        shown = subprocess.run(["man", "--warnings", "-l", path], capture_output=True, text=True,
                               env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8"))
        failures += [f"{name}: man: {line}" for line in shown.stderr.splitlines()]
        tool = {"quorlan-check.1.gz": check, "quorlan-disc.1.gz": disc}.get(name)
        if tool:
            helped = subprocess.run([tool, "--help"], capture_output=True, text=True).stdout
            in_help = set(OPTION.findall(helped))
            in_page = page_options(text)
            failures += [f"{name}: {option} is in --help, not in the page" for option in sorted(in_help - in_page)]
            failures += [f"{name}: {option} is in the page, not in --help" for option in sorted(in_page - in_help)]
    for failure in failures:
        print("FAIL:", failure)
    print(f"manual pages: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
