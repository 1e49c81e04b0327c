#!/usr/bin/env python3
"""End-to-end tests of the built quorlan-check.

Each cases/NAME.ini is checked with the arguments in cases/NAME.expect.json
and must give that report and exit status, so a new case is one menu and its
expectation. Every case is also checked with LF and with CR LF line ends
(same warnings at the same lines and columns) and as a text report (the
same warnings as FILE:LINE:COLUMN: warning: MESSAGE [CODE], or error:,
each followed by FILE:LINE:COLUMN: note: NOTE and, with a fix,
FILE:LINE:COLUMN: fix: TITLE (safe or suggested)), and with --no-warn for each
code it gives (those warnings left out, the others kept). Then: the default menu file and drive letter,
the arguments and files the tool must refuse with status 2, what the tool
writes nowhere (a full standard output, a named pipe, a folder it may not
write to) and the example disc, which must check clean.

usage: run_cases.py [--wine PREFIX] QUORLAN-CHECK SOURCE-FOLDER
With --wine, the Windows build runs under Wine in that prefix and must
report the same (its line ends are CR LF, and its current folder is on
drive Z); as each run takes Wine seconds, only the cases' reports, the
defaults and a full standard output are checked there.
"""
import json
import os
import pwd
import shutil
import subprocess
import sys
import tempfile
import threading

FILE_WARNING = "is not in the menu's folder"
RUNNER = []          # the program that runs the tool, if any
DEFAULT_DRIVE = "D"  # what %: gives with no --drive, from a folder without a drive letter


def run(tool, args, cwd, given=b""):
    done = subprocess.run(RUNNER + [tool] + args, cwd=cwd, input=given, capture_output=True, timeout=120)
    return done.returncode, done.stdout.replace(b"\r\n", b"\n"), done.stderr.replace(b"\r\n", b"\n")


def warning_lines(report, with_files=True):
    """Where each warning and its note point, the file lookups left out if asked."""
    return [(w["line"], w["column"], w["note_line"], w["note_column"]) for w in report["warnings"]
            if with_files or FILE_WARNING not in w["message"]]


def check_case(tool, cases, name, fail):
    expect = json.load(open(os.path.join(cases, name + ".expect.json"), encoding="utf-8"))
    menu = name + ".ini"
    status, out, err = run(tool, expect["args"] + ["--json", menu], cases)
    if status != expect["exit"]:
        fail(f"{menu}: exit {status}, expected {expect['exit']} ({err!r})")
    report = json.loads(out.decode("utf-8"))
    if report != expect["report"]:
        fail(f"{menu}: report differs:\n{json.dumps(report, indent=2, ensure_ascii=False)}")

    # The text report: the same warnings, each on its own line with its note
    # after it, in UTF-8 as the JSON.
    status, out, err = run(tool, expect["args"] + [menu], cases)
    lines = out.split(b"\n")
    wanted = []
    for w in report["warnings"]:
        wanted.append(f"{menu}:{w['line']}:{w['column']}: {w['severity']}: {w['message']} [{w['code']}]".encode("utf-8"))
        wanted.append(f"{menu}:{w['note_line']}:{w['note_column']}: note: {w['note']}".encode("utf-8"))
        if w["fix"]:
            edit, kind = w["fix"]["edits"][0], "safe" if w["fix"]["safe"] else "suggested"
            wanted.append(f"{menu}:{edit['line']}:{edit['column']}: fix: {w['fix']['title']} ({kind})".encode("utf-8"))
    if status != expect["exit"] or lines[-1] != b"" or lines[len(lines) - 1 - len(wanted):-1] != wanted:
        fail(f"{menu}: text report (exit {status}) does not end with the warnings:\n{out.decode('utf-8', 'replace')}")
    if not lines[0].startswith(b'caption: "' + report["caption"].encode("utf-8") + b'"'):
        fail(f"{menu}: text report does not start with the caption: {lines[0]!r}")

    if RUNNER:
        return
    # --no-warn leaves out the warnings of its code, and only those.
    for code in sorted({w["code"] for w in report["warnings"]}):
        status, out, err = run(tool, expect["args"] + ["--json", "--no-warn", code, menu], cases)
        kept = [w for w in report["warnings"] if w["code"] != code]
        if json.loads(out.decode("utf-8"))["warnings"] != kept or status != (1 if kept else 0):
            fail(f"{menu} --no-warn {code}: exit {status}, {out!r}")
    # LF and CR LF line ends give the same warnings on the same lines.
    data = open(os.path.join(cases, menu), "rb").read().replace(b"\r\n", b"\n")
    args = expect["args"]
    codepage = [a for i, a in enumerate(args) if a == "--codepage" or (i and args[i - 1] == "--codepage")]
    found = {}
    with tempfile.TemporaryDirectory() as folder:
        for ends, content in (("LF", data), ("CR LF", data.replace(b"\n", b"\r\n"))):
            open(os.path.join(folder, "menu.ini"), "wb").write(content)
            status, out, err = run(tool, codepage + ["--json", "--no-files", "--drive", "E", "menu.ini"], folder)
            found[ends] = warning_lines(json.loads(out.decode("utf-8")))
    expected = warning_lines(expect["report"], with_files=False)
    for ends, lines in found.items():
        if lines != expected:
            fail(f"{menu} with {ends} line ends: warnings at {lines}, expected {expected}")


def check_defaults(tool, fail):
    """No MENUFILE: Quorlan.ini of the current folder; no --drive: the
    current folder's drive, else D; commands' files looked for beside it."""
    with tempfile.TemporaryDirectory() as folder:
        open(os.path.join(folder, "Quorlan.ini"), "wb").write(b"Disc\n{\n  A, %:\\a.exe\n}\n")
        status, out, err = run(tool, ["--json"], folder)
        report = json.loads(out.decode("utf-8"))
        if status != 1 or report["items"][0]["record"]["command"] != DEFAULT_DRIVE + ":\\a.exe" or warning_lines(report) != [(3, 6, 3, 6)]:
            fail(f"default menu and drive: exit {status}, {out!r}")
        open(os.path.join(folder, "a.exe"), "wb").close()
        status, out, err = run(tool, [], folder)
        if status != 0 or not out.startswith(b'caption: "Disc"\n'):
            fail(f"default menu, file present: exit {status}, {out!r}")
        status, out, err = run(tool, ["--no-files", "--json", "--drive", "q"], folder)
        report = json.loads(out.decode("utf-8"))
        if status != 0 or report["items"][0]["record"]["command"] != "q:\\a.exe":
            fail(f"--drive q: exit {status}, {out!r}")
        # - reads standard input, its commands' files looked for in the current folder.
        status, out, err = run(tool, ["--drive", "q", "-"], folder, b"Disc\n{\n  B, b.exe\n}\n")
        if status != 1 or not out.startswith(b'caption: "Disc"\n') or b"<stdin>:3:6: warning: " not in out:
            fail(f"standard input: exit {status}, {out!r}, {err!r}")


def check_refusals(tool, fail):
    """Status 2, nothing on standard output, one line on standard error."""
    with tempfile.TemporaryDirectory() as folder:
        open(os.path.join(folder, "a.ini"), "wb").write(b"T { A }")
        os.mkdir(os.path.join(folder, "folder.ini"))
        rows = [
            ("no Quorlan.ini here", []),
            ("a missing file", ["missing.ini"]),
            ("a folder", ["folder.ini"]),
            ("--drive without a letter", ["a.ini", "--drive"]),
            ("--drive of two letters", ["--drive", "EF", "a.ini"]),
            ("--drive of a digit", ["--drive", "1", "a.ini"]),
            ("an unknown option", ["--colour", "a.ini"]),
            ("two menu files", ["a.ini", "a.ini"]),
            ("--no-warn of no code", ["--no-warn", "no-such-code", "a.ini"]),
            ("--no-warn without a code", ["a.ini", "--no-warn"]),
        ]
        for label, args in rows:
            status, out, err = run(tool, args, folder)
            if status != 2 or out or not err.startswith(b"quorlan-check: ") or err.count(b"\n") != 1:
                fail(f"{label} {args}: exit {status}, stdout {out!r}, stderr {err!r}")


def check_fixing(tool, cases, fail):
    """--fix writes the safe fixes back in place (CR LF kept) and prints a
    line for each, --fix=all the suggested ones too (a UTF-16 file saved as
    UTF-8 before the others), --diff writes nothing
    (and shows a UTF-16 file's change as text),
    --fix - mends standard input onto standard output, and a file with no
    fixes keeps its bytes and its modification time."""
    data = open(os.path.join(cases, "three-mistakes.ini"), "rb").read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    sorted_, commas = b"Demo Disc, sorted, size=640x480\r\n", b"  Readme,,,\r\n"
    with tempfile.TemporaryDirectory() as folder:
        menu = os.path.join(folder, "Quorlan.ini")
        args = ["--no-files", "--drive", "E"]

        def fresh(content=data):
            open(menu, "wb").write(content)
            os.utime(menu, (1000000000, 1000000000))

        fresh()
        status, out, err = run(tool, args + ["--diff", "Quorlan.ini"], folder)
        if status != 1 or b"-Demo Disc, Sorted" not in out or b"+Demo Disc, sorted" not in out or \
                open(menu, "rb").read() != data:
            fail(f"--diff: exit {status}, {out!r}")
        # A UTF-16 file is saved as UTF-8: its diff is of the text, its encodings named.
        fresh(data.decode("utf-8").encode("utf-16"))
        status, out, err = run(tool, args + ["--diff", "Quorlan.ini"], folder)
        if status != 1 or b"\t(UTF-16 LE)\n" not in out or b"\n-\xEF\xBB\xBFDemo Disc, Sorted" not in out or \
                b"\n+\xEF\xBB\xBFDemo Disc, sorted" not in out:
            fail(f"--diff of UTF-16: exit {status}, {out!r}")
        fresh()
        status, out, err = run(tool, args + ["--fix", "Quorlan.ini"], folder)
        mended = open(menu, "rb").read()
        if status != 1 or not mended.startswith(sorted_) or commas in mended or b"\n" in mended.replace(b"\r\n", b"") \
                or b'Quorlan.ini:1:12: fixed: write it as "sorted" [option-case]\n' not in out:
            fail(f"--fix: exit {status}, {out!r}, wrote {mended!r}")
        fresh()
        status, out, err = run(tool, args + ["--fix=all", "Quorlan.ini"], folder)
        mended = open(menu, "rb").read()
        if status != 0 or not mended.startswith(sorted_) or commas not in mended:
            fail(f"--fix=all: exit {status}, {out!r}, wrote {mended!r}")
        done = subprocess.run(RUNNER + [tool] + args + ["--fix", "-"], input=data, capture_output=True, timeout=120)
        if done.stdout != data.replace(b"Sorted", b"sorted") or b"[missing-comma]" not in done.stderr:
            fail(f"--fix -: {done.stdout!r}, {done.stderr!r}")
        # A UTF-16 file is saved as UTF-8 first, alone; the list is closed
        # in the next round, as in a UTF-8 file, before its last line end.
        text = "Demo\n{\n  Tools {\n  Setup, setup.exe\n}\n"
        for encoding in ("utf-16-le", "utf-16-be"):
            fresh((b"\xFF\xFE" if encoding == "utf-16-le" else b"\xFE\xFF") + text.encode(encoding))
            status, out, err = run(tool, args + ["--fix=all", "Quorlan.ini"], folder)
            mended = open(menu, "rb").read()
            if mended != b"\xEF\xBB\xBF" + text.encode() + b"}\n" or b"[utf16-file]" not in out:
                fail(f"--fix=all of {encoding}: exit {status}, {out!r}, wrote {mended!r}")
        # A round whose fixes keep the file's size, then the next: each fix
        # made and said once.
        fresh(b"Disc, Sorted\r\n{ A }\r\n")
        status, out, err = run(tool, args + ["--fix", "Quorlan.ini"], folder)
        if open(menu, "rb").read() != b"Disc, sorted\r\n{ A }\r\n" or out.count(b"fixed:") != 1:
            fail(f"--fix of one option's case: exit {status}, {out!r}")
        # Five mends, each possible once the one before is made: all made
        # in one --fix=all, so that a second finds nothing.
        fresh(b" d{,,0%0%s'e 'a'a")
        run(tool, args + ["--fix=all", "Quorlan.ini"], folder)
        once = open(menu, "rb").read()
        status, out, err = run(tool, args + ["--fix=all", "Quorlan.ini"], folder)
        if open(menu, "rb").read() != once or b"fixed:" in out or not once.endswith(b"\n}"):
            fail(f"--fix=all left a fix for another run: exit {status}, {out!r}, first wrote {once!r}")
        fresh(b"Disc\r\n{ A }\r\n")
        status, out, err = run(tool, args + ["--fix=all", "Quorlan.ini"], folder)
        if status != 0 or open(menu, "rb").read() != b"Disc\r\n{ A }\r\n" or os.stat(menu).st_mtime != 1000000000:
            fail(f"--fix without fixes touched the file: exit {status}")


def check_full_output(tool, cases, fail):
    """A standard output that takes nothing (a full disc, or closed) loses
    the report, the diff or the mended menu: exit 2, and one line on
    standard error that says so, never a "fixed:" line for a menu that went
    nowhere."""
    if not os.path.exists("/dev/full"):
        print("note: no /dev/full here; the full output is not checked")
        return
    menu = os.path.join(cases, "three-mistakes.ini")
    data = open(menu, "rb").read()
    rows = [  # what is lost, the arguments, whether the output is closed rather than full
        ("the report", ["three-mistakes.ini"], False),
        ("the report", ["three-mistakes.ini"], True),
        ("the JSON report", ["--json", "three-mistakes.ini"], False),
        ("the diff", ["--diff", "three-mistakes.ini"], False),
        ("the mended menu", ["--fix", "-"], False),
        ("the mended menu", ["--fix", "-"], True),
        ("the layout", ["--format", "-"], False),
        ("the layout, fixed", ["--format", "--fix", "-"], False),
        ("the layout's diff", ["--format", "--diff", "three-mistakes.ini"], False),
        ("the version", ["--version"], False),
    ]
    for label, args, closed in rows:
        with open("/dev/full", "wb") as full:
            done = subprocess.run(RUNNER + [tool, "--no-files"] + args, cwd=cases, input=data, stdout=full,
                                  stderr=subprocess.PIPE, preexec_fn=(lambda: os.close(1)) if closed else None,
                                  timeout=120)
        err = done.stderr.replace(b"\r\n", b"\n")
        if done.returncode != 2 or not err.startswith(b"quorlan-check: cannot write standard output: ") or \
                err.count(b"\n") != 1:
            fail(f"{label} to a {'closed' if closed else 'full'} output {args}: exit {done.returncode}, "
                 f"stderr {err!r}")


def check_not_regular(tool, fail):
    """A named pipe as the menu is read once and checked as the bytes that
    came through it; a fix is not written back over it (nor does the tool
    wait for a second writer): exit 2 and one line."""
    data = b"Demo Disc, Sorted\n{\n    Readme,readme.txt\n}\n"  # a fix to make, a layout to change
    with tempfile.TemporaryDirectory() as folder:
        pipe = os.path.join(folder, "Quorlan.ini")
        os.mkfifo(pipe)
        for label, args, status, wanted in (
                ("the report", [], 1, b'caption: "Demo Disc"\n'),
                ("--fix", ["--fix"], 2, b""),
                ("--format", ["--format"], 2, b""),
                ("--diff", ["--diff"], 1, b"--- Quorlan.ini\n")):
            # The writer waits for the tool to open the pipe; it is left
            # waiting where the tool never does.
            threading.Thread(target=lambda: open(pipe, "wb").write(data), daemon=True).start()
            try:
                done = subprocess.run([tool, "--no-files"] + args + ["Quorlan.ini"], cwd=folder,
                                      capture_output=True, timeout=20)
            except subprocess.TimeoutExpired:
                fail(f"a named pipe, {label}: still running after 20 s")
                continue
            said = b"quorlan-check: Quorlan.ini is a named pipe, not a regular file: nothing written back\n"
            if done.returncode != status or not done.stdout.startswith(wanted) or \
                    (status == 2 and (done.stdout or done.stderr != said)):
                fail(f"a named pipe, {label}: exit {done.returncode}, stdout {done.stdout!r}, stderr {done.stderr!r}")


def check_read_only_folder(tool, cases, fail):
    """In a folder the user may not write to, --fix and --format --fix say
    the failure once, print no "fixed:" for a fix that was not written, and
    leave the menu as it was. As root any folder takes a new file, so the
    tool runs as nobody there."""
    runner = []
    if os.geteuid() == 0:
        try:
            nobody = pwd.getpwnam("nobody")
        except KeyError:
            nobody = None
        if nobody and shutil.which("setpriv"):
            runner = ["setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}", "--clear-groups"]
        elif nobody and shutil.which("runuser"):
            runner = ["runuser", "-u", "nobody", "--"]
        else:
            print("note: running as root with no user nobody or no setpriv or runuser to become it; "
                  "the read-only folder is not checked")
            return
    data = open(os.path.join(cases, "three-mistakes.ini"), "rb").read()
    with tempfile.TemporaryDirectory() as top:
        os.chmod(top, 0o755)
        folder = os.path.join(top, "read-only")
        os.mkdir(folder)
        menu = os.path.join(folder, "Quorlan.ini")
        open(menu, "wb").write(data)
        os.chmod(menu, 0o644)
        os.chmod(folder, 0o555)
        for args in (["--fix"], ["--format", "--fix"]):
            done = subprocess.run(runner + [tool, "--no-files"] + args + ["Quorlan.ini"], cwd=folder,
                                  capture_output=True, timeout=120)
            said = b"quorlan-check: cannot make a temporary file beside Quorlan.ini: Permission denied\n"
            if done.returncode != 2 or done.stdout or done.stderr != said or open(menu, "rb").read() != data:
                fail(f"{args} in a read-only folder: exit {done.returncode}, stdout {done.stdout!r}, "
                     f"stderr {done.stderr!r}")
        os.chmod(folder, 0o755)


def check_example(tool, source, fail):
    folder = os.path.join(source, "examples")
    if not os.path.exists(os.path.join(folder, "Quorlan.ini")):
        print("note: no examples/Quorlan.ini yet; the clean case stands for it")
        return
    status, out, err = run(tool, [], folder)
    if status != 0:
        fail(f"examples/Quorlan.ini does not check clean (exit {status}):\n{out.decode('utf-8', 'replace')}")


def main():
    global DEFAULT_DRIVE
    args = sys.argv[1:]
    wine = args[:2] if args[0] == "--wine" else []
    tool, source = os.path.abspath(args[len(wine)]), args[len(wine) + 1]
    if wine:
        # Run in the Wine environment of every script and test.
        RUNNER.extend([os.path.abspath(os.path.join(source, "scripts", "wine-env.sh")), wine[1]])
        DEFAULT_DRIVE = "Z"
        # One Wine server for all the runs; it ends by itself 5 s after the last.
        subprocess.run(RUNNER + ["quorlan_wineserver", "-p5"], check=True, timeout=120)
        RUNNER.append("quorlan_wine")
    cases = os.path.join(source, "check", "tests", "cases")
    failures = []
    names = sorted(f[:-4] for f in os.listdir(cases) if f.endswith(".ini"))
    for name in names:
        check_case(tool, cases, name, failures.append)
    check_defaults(tool, failures.append)
    check_full_output(tool, cases, failures.append)
    if not RUNNER:
        check_refusals(tool, failures.append)
        check_fixing(tool, cases, failures.append)
        # POSIX only: a named pipe, a folder closed to another user.
        check_not_regular(tool, failures.append)
        check_read_only_folder(tool, cases, failures.append)
        check_example(tool, source, failures.append)
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(names)} cases and the fixed checks: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
