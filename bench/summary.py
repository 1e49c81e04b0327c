#!/usr/bin/env python3
"""Gathers the figures that scripts/bench.sh's steps printed into one table
(Markdown, as the README keeps it), headed by the machine and the date.

    summary.py FIGURES_FILE MACHINE_TEXT

FIGURES_FILE holds the steps' ROW lines (section|figure|value|against|
ratio|goal|verdict) and the start-up timer's START lines
(label|median|min|max|runs|failures). From the start-up lines it also works
out the shares that are the platform's: the tree control filling 10,000
items, and its sorted insertion."""
import sys

# Start-up labels that scripts/bench.sh gives the timer's targets.
FLOOR, FILL, FLAT, SORTED = "floor", "fill-10000", "flat-10000", "sorted-10000"


def start_rows(starts):
    """ROW fields for the start-up figures, each against the floor."""
    rows = []
    floor = starts.get(FLOOR)
    if not floor or floor["median"] <= 0:
        return rows
    for label, s in starts.items():
        if label == FLOOR or s["runs"] + s["failures"] == 0:
            continue
        value = "%.0f ms (%.0f-%.0f, %d runs%s)" % (s["median"], s["min"], s["max"], s["runs"],
                                                   ", %d failed" % s["failures"] if s["failures"] else "")
        rows.append(["start-up", label, value, "floor %.0f ms" % floor["median"],
                     "%.2f" % (s["median"] / floor["median"]), "-", "-" if not s["failures"] else "failed"])
    flat, fill, srt = starts.get(FLAT), starts.get(FILL), starts.get(SORTED)
    if flat and fill and fill["runs"] > 0 and flat["median"] > floor["median"]:
        share = (fill["median"] - floor["median"]) / (flat["median"] - floor["median"])
        rows.append(["start-up", "the tree control filling 10,000 items (fill-10000 less floor)",
                     "%.0f ms" % (fill["median"] - floor["median"]),
                     "flat-10000 less floor: %.0f ms" % (flat["median"] - floor["median"]),
                     "%.2f" % share, "platform's", "-"])
    if flat and srt and srt["runs"] > 0:
        rows.append(["start-up", "the tree control's sorted insertion (sorted-10000 less flat-10000)",
                     "%.0f ms" % (srt["median"] - flat["median"]), "sorted-10000: %.0f ms" % srt["median"],
                     "%.2f" % ((srt["median"] - flat["median"]) / srt["median"]), "platform's", "-"])
    return rows


def main(path, machine):
    rows, starts = [], {}
    for line in open(path, encoding="utf-8", errors="replace"):
        fields = line.rstrip("\r\n").split("|")
        if fields[0] == "ROW" and len(fields) == 8:
            rows.append(fields[1:])
        elif fields[0] == "START" and len(fields) == 7:
            starts[fields[1]] = {"median": float(fields[2]), "min": float(fields[3]), "max": float(fields[4]),
                                 "runs": int(fields[5]), "failures": int(fields[6])}
    # Size first, then start-up, then the native figures, as the steps ran.
    rows = [r for r in rows if r[0] == "size"] + start_rows(starts) + [r for r in rows if r[0] != "size"]
    print("\n== Summary (%s)\n" % machine)
    print("| What | Figure | Measured | Against | Ratio | Goal | |")
    print("|---|---|---|---|---|---|---|")
    for r in rows:
        print("| " + " | ".join(r) + " |")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else ""))
