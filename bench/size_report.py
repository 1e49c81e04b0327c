#!/usr/bin/env python3
"""Prints the executable's size, its sections and the functions it imports
from each DLL, beside the same for the minimal dialog program with the same
resources (the floor for this toolchain), and how they stand against the
goals: under 40 KiB, and no DLL beyond the five every Windows has.

    size_report.py OBJDUMP QUORLAN_EXE FLOOR_EXE

Ends with ROW lines for scripts/bench.sh. Prints figures; never fails on
them."""
import os
import subprocess
import sys

GOAL_BYTES = 40 * 1024
ALLOWED = ["kernel32.dll", "user32.dll", "comctl32.dll", "shell32.dll", "msvcrt.dll"]


def run(objdump, option, exe):
    return subprocess.run([objdump, option, exe], check=True, capture_output=True, text=True).stdout


def sections(objdump, exe):
    """Section name -> size in bytes, in the file's order."""
    found = {}
    for line in run(objdump, "-h", exe).splitlines():
        fields = line.split()
        if len(fields) >= 7 and fields[0].isdigit():
            found[fields[1]] = int(fields[2], 16)
    return found


def imports(objdump, exe):
    """DLL name (lower case) -> the names (or ordinals) imported from it."""
    found, current = {}, None
    for line in run(objdump, "-p", exe).splitlines():
        if "DLL Name:" in line:
            current = found.setdefault(line.split(":", 1)[1].strip().lower(), [])
        elif current is not None and not line.strip():
            current = None
        elif current is not None:
            fields = line.split()
            # "rva hint name" rows, or "rva ordinal <none>" for one by ordinal
            if len(fields) >= 3 and fields[1].isdigit():
                current.append(fields[2] if fields[2] != "<none>" else "#" + fields[1])
    return found


def main(objdump, exe, floor):
    size, floor_size = os.path.getsize(exe), os.path.getsize(floor)
    ours, theirs = sections(objdump, exe), sections(objdump, floor)
    print("== Executable size, in bytes (sections as their contents; the file rounds each to 512)")
    print("%-14s %12s %12s" % ("", os.path.basename(exe), "floor"))
    print("%-14s %12d %12d" % ("file", size, floor_size))
    for name in list(ours) + [n for n in theirs if n not in ours]:
        note = "  (memory only)" if name == ".bss" else ""
        print("%-14s %12s %12s%s" % (name, ours.get(name, "-"), theirs.get(name, "-"), note))
    dlls = imports(objdump, exe)
    print("imports of %s:" % os.path.basename(exe))
    for dll, names in dlls.items():
        print("  %-13s %2d: %s" % (dll, len(names), " ".join(names)))
    print("imports of the floor: %s" % ", ".join(imports(objdump, floor)))

    ratio = size / floor_size
    print("ROW|size|quorlan.exe|%d B (%.1f KiB)|floor %d B|%.2f|< 40 KiB|%s"
          % (size, size / 1024, floor_size, ratio, "met" if size < GOAL_BYTES else "missed"))
    extra = sorted(set(dlls) - set(ALLOWED))
    print("ROW|size|imported DLLs|%s|%s|-|only those five|%s"
          % (", ".join(d[:-4] for d in dlls), "kernel32 user32 comctl32 shell32 msvcrt",
             "met" if not extra else "missed: " + ", ".join(extra)))
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
