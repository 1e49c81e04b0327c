#!/usr/bin/env python3
"""The checker's cost on discs whose menu's entries open files of one folder:
n entries naming n files, for each n given, checked with the file look-ups
and with --no-files. Prints each figure, then ROW lines for
bench/summary.py: the time per entry against the smallest n's (goal at most
1.5), and the time with look-ups against the time without (goal at most 2).
It never fails on a time.

    check_files.py QUORLAN_CHECK [N...]     (default 1000 4000 16000)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

RUNS = 3  # the best of three: the machine is shared


def make_disc(folder, n):
    files = os.path.join(folder, "files")
    os.mkdir(files)
    lines = ["Bench", "{"]
    for i in range(n):
        name = "program%05d.exe" % i
        open(os.path.join(files, name), "wb").close()
        lines.append("  Entry %d, 'files\\%s', Starts it.," % (i, name))
    lines.append("}")
    with open(os.path.join(folder, "Quorlan.ini"), "wb") as menu:
        menu.write(("\r\n".join(lines) + "\r\n").encode("ascii"))


def best_time(checker, folder, extra):
    best = None
    for _ in range(RUNS):
        start = time.perf_counter()
        subprocess.run([checker] + extra + [os.path.join(folder, "Quorlan.ini")], cwd=folder,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        took = time.perf_counter() - start
        best = took if best is None else min(best, took)
    return best


def main(checker, sizes):
    rows, first = [], None
    for n in sizes:
        folder = tempfile.mkdtemp(prefix="quorlan-bench-check-")
        try:
            make_disc(folder, n)
            with_files = best_time(checker, folder, [])
            without = best_time(checker, folder, ["--no-files"])
        finally:
            shutil.rmtree(folder)
        per_entry = with_files / n * 1e6
        first = first or per_entry
        print("%6d entries, %6d files: %.3f s (%.1f us per entry); --no-files %.3f s" %
              (n, n, with_files, per_entry, without))
        scale = per_entry / first
        rows.append(("checker", "%d entries naming %d files of one folder, per entry" % (n, n),
                     "%.1f us" % per_entry, "%d entries: %.1f us" % (sizes[0], first), scale, "<= 1.5",
                     "ok" if scale <= 1.5 else "over"))
        ratio = with_files / without if without > 0 else 0
        rows.append(("checker", "%d entries, file look-ups against --no-files" % n, "%.3f s" % with_files,
                     "--no-files: %.3f s" % without, ratio, "<= 2", "ok" if ratio <= 2 else "over"))
    for r in rows:
        print("ROW|%s|%s|%s|%s|%.2f|%s|%s" % r)


if __name__ == "__main__":
    main(os.path.abspath(sys.argv[1]), [int(n) for n in sys.argv[2:]] or [1000, 4000, 16000])
