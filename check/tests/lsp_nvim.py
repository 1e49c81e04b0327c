#!/usr/bin/env python3
"""quorlan-check --lsp with a real editor as its client: Neovim, headless.

A menu saved as UTF-8 with the mark (an accented title, so that Neovim's
byte columns differ from the protocol's UTF-16 positions), sorted, with a
nested level, an option in the wrong case and a command whose file is not
on the disc, is opened in Neovim; lsp_nvim.lua attaches the server and
writes the diagnostics and the document symbols Neovim received, and the
first line after the option's quick fix is applied, and the menu as
vim.lsp.buf.formatting_sync() formats it, which must be these.

usage: lsp_nvim.py QUORLAN-CHECK SOURCE-FOLDER
"""
import os
import subprocess
import sys
import tempfile

MENU = ("\ufeffDémo Disc, sorted, Size=640x480\n{\n  Zeta, z.exe, Last,\n"
        "  alpha, a.exe, First { Beta, tools\\b.exe, Two }\n  Mid\n}\n")
EXPECTED = [
    'diagnostic 0:20-0:32 option "Size=640x480" is not recognised and is ignored: options are case-sensitive'
    ' | note 0:19 write it as "size=640x480"',
    "diagnostic 3:30-3:41 the command's file \"tools\\b.exe\" is not in the menu's folder"
    " | note 3:30 correct the path, or put the file on the disc there",
    "symbol alpha 3:2",
    "symbol   Beta 3:24",
    "symbol Mid 4:2",
    "symbol Zeta 2:2",
    'fixed write it as "size=640x480" [option-case] | Démo Disc, sorted, size=640x480',
    "formatted Démo Disc, sorted, size=640x480",
    "formatted {",
    "formatted   Zeta, z.exe, Last,",
    "formatted   alpha, a.exe, First",
    "formatted   {",
    "formatted     Beta, tools\\b.exe, Two",
    "formatted   }",
    "formatted   Mid",
    "formatted }",
]


def main():
    tool, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    script = os.path.join(source, "check", "tests", "lsp_nvim.lua")
    with tempfile.TemporaryDirectory() as folder:
        open(os.path.join(folder, "Quorlan.ini"), "w", encoding="utf-8").write(MENU)
        for name in ("a.exe", "z.exe"):
            open(os.path.join(folder, name), "wb").close()
        out = os.path.join(folder, "received.txt")
        env = dict(os.environ, QUORLAN_CHECK=tool, QUORLAN_OUT=out, HOME=folder, XDG_STATE_HOME=folder)
        subprocess.run(["nvim", "--headless", "-u", "NONE", "-i", "NONE", "-n", "-c", "luafile " + script,
                        "Quorlan.ini"], cwd=folder, env=env, timeout=120, stdin=subprocess.DEVNULL)
        received = open(out, encoding="utf-8").read().splitlines() if os.path.exists(out) else []
    if received != EXPECTED:
        print("Neovim received:\n" + "\n".join(received) + "\nexpected:\n" + "\n".join(EXPECTED))
        return 1
    print(f"Neovim received the {len(EXPECTED)} lines expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
