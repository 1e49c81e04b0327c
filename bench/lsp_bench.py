#!/usr/bin/env python3
"""The language server's figures, spoken to as an editor speaks to it:

- a 100-entry menu on a disc of 5,000 files of one folder: from a change
  sent to its diagnostics, the median and the worst of 50 (goal: median at
  most 10 ms);
- 20 changes sent together, as an author typing: from the last one sent to
  its diagnostics, against one change alone (goal: at most 2 times);
- the outline (documentSymbol) of two 1 MiB menus, one flat and one of
  levels of 2 entries: the peak resident memory the request adds, against
  the size of its answer (goal: at most twice the answer plus 8 MB).
- folding ranges, selection ranges (of 1,000 positions) and semantic
  tokens of a menu written on one line, of 256 KiB and of 1 MiB: each
  request's time, from sent to answered, and the larger's over the
  smaller's (goal: at most 5, as a cost that grows with the line would
  give).

Prints each figure, then ROW lines for bench/summary.py. Never fails on a
figure; peak memory is read from /proc (Linux).

    lsp_bench.py QUORLAN_CHECK
"""
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "check", "tests"))
import lsp_client  # noqa: E402  (the tests' scripted client)

CHANGES = 50
BURST = 20
BURSTS = 5
MIB = 1024 * 1024


def disc_menu(version):
    """The 100-entry menu; the version shows in the caption, so each change is a change."""
    lines = ["Benchmark %d" % version, "{"]
    lines += ["  Entry %03d, files\\program%04d.exe, 'Starts it.'," % (i, i * 50) for i in range(100)]
    return "\r\n".join(lines + ["}", ""])


def wait_version(client, uri, version):
    """Reads until the diagnostics of that version of the document come."""
    while True:
        message = client.receive()
        params = message.get("params", {})
        if message.get("method") == "textDocument/publishDiagnostics" and params.get("uri") == uri \
                and params.get("version") == version:
            return


def change_message(uri, version):
    return lsp_client.frame({"jsonrpc": "2.0", "method": "textDocument/didChange",
                             "params": {"textDocument": {"uri": uri, "version": version},
                                        "contentChanges": [{"text": disc_menu(version)}]}})


def bench_changes(tool, folder):
    os.mkdir(os.path.join(folder, "files"))
    for i in range(5000):
        open(os.path.join(folder, "files", "program%04d.exe" % i), "wb").close()
    path = os.path.join(folder, "Quorlan.ini")
    with open(path, "w", newline="") as menu:
        menu.write(disc_menu(1))
    # A disc's folders were written long before the author edits the menu:
    # a folder changed within the last 2 s is listed again at each check
    # (FAT keeps times to 2 s), which is not what is measured here.
    hour_ago = time.time() - 3600
    for written in (os.path.join(folder, "files"), folder):
        os.utime(written, (hour_ago, hour_ago))
    client = lsp_client.Client(tool)
    try:
        uri, _ = client.open(path)
        version, singles = 1, []
        for _ in range(CHANGES):
            version += 1
            start = time.perf_counter()
            client.send_raw(change_message(uri, version))
            wait_version(client, uri, version)
            singles.append(time.perf_counter() - start)
        bursts = []
        for _ in range(BURSTS):
            data = b"".join(change_message(uri, version + 1 + i) for i in range(BURST))
            version += BURST
            start = time.perf_counter()
            client.send_raw(data)
            wait_version(client, uri, version)
            bursts.append(time.perf_counter() - start)
    finally:
        client.close()
    return singles, bursts


def flat_menu():
    lines, n = ["Flat 1 MiB", "{"], 0
    while sum(len(line) + 2 for line in lines) < MIB:
        n += 1
        lines.append("  Entry %05d, %%:\\e%05d.exe, 'Starts it.'," % (n, n))
    return "\r\n".join(lines + ["}", ""]), n


def levels_menu():
    lines, n, size = ["Levels 1 MiB", "{"], 0, 0
    while size < MIB:
        n += 1
        level = ["  L%05d {" % n, "    A, a%05d.exe," % n, "    B, b%05d.exe" % n, "  }"]
        size += sum(len(line) + 2 for line in level)
        lines += level
    return "\r\n".join(lines + ["}", ""]), n


def memory_of(pid, field):
    """A figure of /proc/PID/status, in bytes."""
    for line in open("/proc/%d/status" % pid):
        if line.startswith(field + ":"):
            return int(line.split()[1]) * 1024
    return 0


def bench_outline(tool, folder, name, text):
    path = os.path.join(folder, name)
    with open(path, "w", newline="") as menu:
        menu.write(text)
    client = lsp_client.Client(tool, settings={"checkFiles": False})
    try:
        uri, _ = client.open(path)
        pid = client.proc.pid
        # The peak so far was the open's check: start the peak again from here.
        with open("/proc/%d/clear_refs" % pid, "w") as refs:
            refs.write("5")
        before = memory_of(pid, "VmRSS")
        client.next_id += 1
        body = lsp_client.frame({"jsonrpc": "2.0", "id": client.next_id, "method": "textDocument/documentSymbol",
                                 "params": {"textDocument": {"uri": uri}}})
        client.send_raw(body)
        # The size of the answer is its JSON's, as the client read it.
        message, _ = client.answer(client.next_id)
        answer_size = len(lsp_client.json.dumps(message, separators=(",", ":")).encode("utf-8"))
        peak = memory_of(pid, "VmHWM")
    finally:
        client.close()
    return before, peak, answer_size


def one_line_menu(size):
    """A menu of levels of two entries, all on one line of about size bytes."""
    parts, n, length = ["Long line {"], 0, 0
    while length < size:
        n += 1
        part = " L%05d { A, a%05d.exe, 'Starts it.', B, b%05d.exe, }" % (n, n, n)
        length += len(part)
        parts.append(part)
    return "".join(parts + [" }"])


LINE_REQUESTS = ("foldingRange", "selectionRange", "semanticTokens/full")
LINE_POSITIONS = 1000
LINE_TIMEOUT = 1800  # seconds: a server that walks the line for each position takes minutes


def bench_one_line(tool, folder, size):
    """The seconds of each request of LINE_REQUESTS on the one-line menu of that size."""
    path = os.path.join(folder, "line%d.ini" % size)
    text = one_line_menu(size)
    with open(path, "w", newline="") as menu:
        menu.write(text)
    timeout, lsp_client.TIMEOUT = lsp_client.TIMEOUT, LINE_TIMEOUT
    client = lsp_client.Client(tool, settings={"checkFiles": False})
    try:
        uri, _ = client.open(path)
        seconds = {}
        for method in LINE_REQUESTS:
            params = {"textDocument": {"uri": uri}}
            if method == "selectionRange":
                params["positions"] = [{"line": 0, "character": len(text) * i // LINE_POSITIONS}
                                       for i in range(LINE_POSITIONS)]
            start = time.perf_counter()
            client.request("textDocument/" + method, params)
            seconds[method] = time.perf_counter() - start
    finally:
        client.close()
        lsp_client.TIMEOUT = timeout
    return seconds


def main(tool):
    rows = []
    with tempfile.TemporaryDirectory(prefix="quorlan-bench-lsp-") as folder:
        singles, bursts = bench_changes(tool, folder)
    median, worst = statistics.median(singles) * 1000, max(singles) * 1000
    burst = statistics.median(bursts) * 1000
    print("one change, 100 entries on a disc of 5,000 files: median %.1f ms, worst %.1f ms (%d changes)" %
          (median, worst, CHANGES))
    print("%d changes together: %.1f ms until the last one's diagnostics (median of %d)" % (BURST, burst, BURSTS))
    rows.append(("server", "a change to 100 entries on a disc of 5,000 files, to its diagnostics (median of %d)"
                 % CHANGES, "%.1f ms (worst %.1f)" % (median, worst), "goal 10 ms", median / 10, "<= 1",
                 "ok" if median <= 10 else "over"))
    ratio = burst / median if median > 0 else 0
    rows.append(("server", "%d changes sent together, the last one to its diagnostics" % BURST,
                 "%.1f ms" % burst, "one change: %.1f ms" % median, ratio, "<= 2", "ok" if ratio <= 2 else "over"))
    for name, (text, count), what in (("flat.ini", flat_menu(), "flat, %d entries"),
                                      ("levels.ini", levels_menu(), "%d levels of 2 entries")):
        with tempfile.TemporaryDirectory(prefix="quorlan-bench-lsp-") as folder:
            before, peak, answer = bench_outline(tool, folder, name, text)
        added = max(0, peak - before)
        goal = 2 * answer + 8 * 1000 * 1000
        print("documentSymbol, 1 MiB menu, %s: %.1f MB before, peak %.1f MB, adds %.1f MB; answer %.1f MB" %
              (what % count, before / 1e6, peak / 1e6, added / 1e6, answer / 1e6))
        rows.append(("server", "documentSymbol, 1 MiB menu, %s: peak RSS added" % (what % count),
                     "%.1f MB" % (added / 1e6), "answer %.1f MB" % (answer / 1e6), added / goal,
                     "<= 2x answer + 8 MB", "ok" if added <= goal else "over"))
    sizes = (256 * 1024, MIB)
    with tempfile.TemporaryDirectory(prefix="quorlan-bench-lsp-") as folder:
        lines = [bench_one_line(tool, folder, size) for size in sizes]
    for method in LINE_REQUESTS:
        small, large = lines[0][method] * 1000, lines[1][method] * 1000
        ratio = large / small if small > 0 else 0
        print("%s, a menu on one line: %.1f ms at 256 KiB, %.1f ms at 1 MiB (x %.2f)" % (method, small, large, ratio))
        rows.append(("server", "%s, a menu on one line of 1 MiB" % method, "%.1f ms" % large,
                     "%.1f ms at 256 KiB" % small, ratio, "<= 5", "ok" if ratio <= 5 else "over"))
    for r in rows:
        print("ROW|%s|%s|%s|%s|%.2f|%s|%s" % r)


if __name__ == "__main__":
    main(os.path.abspath(sys.argv[1]))
