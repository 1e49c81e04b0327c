#!/usr/bin/env python3
"""test_completions.py FOLDER: the bash completions in FOLDER, called as
bash calls them: COMP_WORDS, COMP_CWORD, COMP_LINE and COMP_POINT set for
a command line typed up to its end, the tool's completion function run,
and COMPREPLY compared with what each row expects. In a folder of one
menu, one text file, one image and one subfolder. A failure names the row.
"""
import os
import subprocess
import sys
import tempfile

# (command line as typed, the completion function, COMPREPLY sorted)
CASES = [
    ("quorlan-check --code", "_quorlan_check", ["--codepage"]),
    ("quorlan-check --codepage 125", "_quorlan_check",
     ["1250", "1251", "1252", "1253", "1254", "1255", "1256", "1257", "1258"]),
    ("quorlan-check --codepage 65", "_quorlan_check", ["65001"]),
    ("quorlan-check --drive e", "_quorlan_check", ["E"]),
    ("quorlan-check --fi", "_quorlan_check", ["--fix", "--fix=all"]),
    ("quorlan-check ", "_quorlan_check", ["Quorlan.ini", "sub/"]),
    ("quorlan-check --no-files Q", "_quorlan_check", ["Quorlan.ini"]),
    ("quorlan-disc ", "_quorlan_disc", ["check", "image", "preview"]),
    ("quorlan-disc --", "_quorlan_disc", ["--help", "--version"]),
    ("quorlan-disc pr", "_quorlan_disc", ["preview"]),
    ("quorlan-disc check ", "_quorlan_disc", ["sub/"]),
    ("quorlan-disc check sub --c", "_quorlan_disc", ["--codepage"]),
    ("quorlan-disc image sub -o ", "_quorlan_disc", ["disc.iso", "sub/"]),
    ("quorlan-disc image sub --f", "_quorlan_disc", ["--force"]),
    ("quorlan-disc image sub --codepage 93", "_quorlan_disc", ["932", "936"]),
    ("quorlan-disc preview sub --p", "_quorlan_disc", ["--picture", "--prefix"]),
]

SCRIPT = r'''
source /usr/share/bash-completion/bash_completion
source "$1/quorlan-check"
source "$1/quorlan-disc"
COMP_LINE=$2
COMP_POINT=${#COMP_LINE}
read -ra COMP_WORDS <<< "$COMP_LINE"
[[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
"$3" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
printf '%s\n' "${COMPREPLY[@]}"
'''


def main(folder):
    failures = 0
    with tempfile.TemporaryDirectory(prefix="quorlan-completion-") as work:
        for name in ("Quorlan.ini", "notes.txt", "disc.iso"):
            open(os.path.join(work, name), "w").close()
        os.mkdir(os.path.join(work, "sub"))
        for line, function, wanted in CASES:
            done = subprocess.run(["bash", "-c", SCRIPT, "_", os.path.abspath(folder), line, function],
                                  cwd=work, capture_output=True, text=True)
            got = sorted(word for word in done.stdout.splitlines() if word)
            # _filedir marks folders with a trailing slash only through
            # compopt; the test shows them so, as the shell would.
            got = sorted(w + "/" if os.path.isdir(os.path.join(work, w)) and not w.endswith("/") else w
                         for w in got)
            if got != wanted or done.stderr:
                failures += 1
                print(f"FAIL: {line!r}: {got!r}, expected {wanted!r} {done.stderr.strip()}")
    print(f"completions: {len(CASES)} cases, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
