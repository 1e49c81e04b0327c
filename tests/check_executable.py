#!/usr/bin/env python3
"""Checks the built executable's PE headers: a 32-bit GUI program whose
imports are only DLLs that every Windows has, with InitCommonControls taken
from comctl32 by ordinal 17."""
import subprocess
import sys

ALLOWED = {"kernel32.dll", "user32.dll", "comctl32.dll", "shell32.dll", "msvcrt.dll"}


def main(objdump, exe):
    out = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True).stdout
    failures = []
    if "file format pei-i386" not in subprocess.run([objdump, "-f", exe], check=True, capture_output=True,
                                                     text=True).stdout:
        failures.append("not a 32-bit (pei-i386) executable")
    subsystem = [l for l in out.splitlines() if l.startswith("Subsystem")]
    if not subsystem or "(Windows GUI)" not in subsystem[0]:
        failures.append("subsystem is not Windows GUI: %s" % subsystem)
    dlls = [l.split(":", 1)[1].strip().lower() for l in out.splitlines() if "DLL Name:" in l]
    extra = sorted(set(dlls) - ALLOWED)
    if extra:
        failures.append("imports DLLs beyond the system's own: %s" % ", ".join(extra))
    # The comctl32 import block: its one entry is ordinal 17 with no name.
    block = out.split("DLL Name: comctl32.dll", 1)
    if len(block) != 2:
        failures.append("comctl32.dll not imported")
    else:
        entries = block[1].split("DLL Name:", 1)[0]
        rows = [l.split() for l in entries.splitlines() if l.strip().startswith(("8000", "0000")) or "<none>" in l]
        if not any(r[-1] == "<none>" and "17" in r for r in rows):
            failures.append("InitCommonControls is not imported by ordinal 17")
    for f in failures:
        print("FAIL:", f)
    print("imports:", ", ".join(dlls))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
