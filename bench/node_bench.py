#!/usr/bin/env python3
"""The checker built for Node against the native one, measured in one run:

- start: `node quorlan-check.js --version` against `node -e 0` (goal: at
  most 30 ms more);
- a check of a 20,000-entry flat menu (--no-files --json), each tool's
  start left out (its --version time taken off), Node's against the
  native's (goal: at most 2.5 times);
- the language server, spoken to as an editor speaks to it (the same
  session as lsp_bench.py): a change to a 100-entry menu on a disc of 5,000
  files, to its diagnostics, Node's median against the native's (goal: at
  most 3 times); 20 changes sent together against one change, for each
  (goal: at most 2 times).

Prints each figure, then ROW lines for bench/summary.py. Never fails on a
figure.

    node_bench.py NATIVE-QUORLAN-CHECK QUORLAN-CHECK.JS [RUNS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lsp_bench  # noqa: E402  (its editor's session, run against both tools)

ENTRIES = 20000


def time_run(command, cwd=None):
    start = time.perf_counter()
    subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def median_ms(command, runs, cwd=None):
    return statistics.median(time_run(command, cwd) for _ in range(runs)) * 1000


def flat_menu(entries):
    lines = ["Flat %d" % entries, "{"]
    lines += ["  Entry %05d, %%:\\e%05d.exe, 'Starts it.'," % (n, n) for n in range(1, entries + 1)]
    return "\r\n".join(lines + ["}", ""])


def main(native, script, runs):
    node = ["node", script]
    rows = []
    bare = median_ms(["node", "-e", "0"], runs)
    version = median_ms(node + ["--version"], runs)
    native_version = median_ms([native, "--version"], runs)
    print("start: node quorlan-check.js --version %.1f ms, node -e 0 %.1f ms: %.1f ms more (median of %d)" %
          (version, bare, version - bare, runs))
    rows.append(("node", "start: node quorlan-check.js --version, more than node -e 0", "%.1f ms" % (version - bare),
                 "node -e 0: %.1f ms" % bare, (version - bare) / 30, "<= 30 ms", "ok" if version - bare <= 30 else "over"))

    with tempfile.TemporaryDirectory(prefix="quorlan-bench-node-") as folder:
        with open(os.path.join(folder, "Quorlan.ini"), "w", newline="") as menu:
            menu.write(flat_menu(ENTRIES))
        check = ["--no-files", "--json", "Quorlan.ini"]
        mine = median_ms(node + check, runs, folder) - version
        theirs = median_ms([native] + check, runs, folder) - native_version
    ratio = mine / theirs if theirs > 0 else 0
    print("check of %d flat entries, start left out: Node %.0f ms, native %.0f ms: %.2f times" %
          (ENTRIES, mine, theirs, ratio))
    rows.append(("node", "check of a %d-entry flat menu, start left out" % ENTRIES, "%.0f ms" % mine,
                 "native: %.0f ms" % theirs, ratio, "<= 2.5", "ok" if ratio <= 2.5 else "over"))

    # lsp_client starts the tool it is given as a program: Node's build
    # goes through a two-line wrapper.
    with tempfile.TemporaryDirectory(prefix="quorlan-bench-node-") as folder:
        wrapper = os.path.join(folder, "quorlan-check-node")
        with open(wrapper, "w") as out:
            out.write('#!/bin/sh\nexec node "%s" "$@"\n' % os.path.abspath(script))
        os.chmod(wrapper, 0o755)
        figures = {}
        for name, tool in (("Node", wrapper), ("native", native)):
            with tempfile.TemporaryDirectory(prefix="quorlan-bench-node-") as disc:
                singles, bursts = lsp_bench.bench_changes(tool, disc)
            figures[name] = (statistics.median(singles) * 1000, statistics.median(bursts) * 1000)
            print("server, %s: one change %.1f ms, %d together %.1f ms (medians)" %
                  (name, figures[name][0], lsp_bench.BURST, figures[name][1]))
    (mine, mine_burst), (theirs, theirs_burst) = figures["Node"], figures["native"]
    ratio = mine / theirs if theirs > 0 else 0
    rows.append(("node", "server: a change to 100 entries on a disc of 5,000 files", "%.1f ms" % mine,
                 "native: %.1f ms" % theirs, ratio, "<= 3", "ok" if ratio <= 3 else "over"))
    for name, (single, burst) in figures.items():
        ratio = burst / single if single > 0 else 0
        rows.append(("node", "server, %s: %d changes sent together" % (name, lsp_bench.BURST), "%.1f ms" % burst,
                     "one change: %.1f ms" % single, ratio, "<= 2", "ok" if ratio <= 2 else "over"))
    for r in rows:
        print("ROW|%s|%s|%s|%s|%.2f|%s|%s" % r)


if __name__ == "__main__":
    main(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), int(sys.argv[3]) if len(sys.argv) > 3 else 11)
