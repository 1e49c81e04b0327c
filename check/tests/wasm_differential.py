#!/usr/bin/env python3
"""The WebAssembly build of quorlan-check against the native one, byte for byte.

usage: wasm_differential.py NATIVE-QUORLAN-CHECK QUORLAN-CHECK.JS SOURCE-FOLDER

Every test menu (check/tests/cases, the fuzzers' menu seeds, the example
disc's and the kit's) is run by both tools with the same options, each in a
copy of the menu's folder of its own: the text report, --json, --no-files,
standard input, --fix=all --diff, --format --diff, --fix=all to standard
output, and in-place --fix and --format. Each menu that is not plain ASCII
is also checked in every code page. The exit status, standard output,
standard error and the menu as the run left it must be the same bytes.
Prints each difference, and a line with the count of runs.
"""
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile


def menus(source):
    """(folder, menu file name) of every menu the tests keep."""
    found = []
    cases = os.path.join(source, 'check/tests/cases')
    found += [(cases, n) for n in sorted(os.listdir(cases)) if n.endswith('.ini')]
    seeds = os.path.join(source, 'fuzz/corpus/menu')
    found += [(seeds, n) for n in sorted(os.listdir(seeds))]
    found += [(os.path.join(source, 'examples'), 'Quorlan.ini'), (os.path.join(source, 'kit'), 'Quorlan.ini')]
    return found


def code_pages(source):
    with open(os.path.join(source, 'check/text/codepages.h')) as f:
        return [m.group(1) for m in re.finditer(r'^CODE_PAGE\((\d+),', f.read(), re.M)]


def runs(source):
    """Each run: (folder, menu, arguments, whether the menu is given on standard input)."""
    pages = code_pages(source)
    for folder, menu in menus(source):
        with open(os.path.join(folder, menu), 'rb') as f:
            plain = all(b < 0x80 for b in f.read())
        for args in ([menu], ['--json', menu], ['--no-files', menu], ['--fix=all', '--diff', menu],
                     ['--format', '--diff', menu], ['--fix', menu], ['--format', menu],
                     ['--fix=all', menu], ['--json', '-'], ['--fix=all', '-']):
            yield folder, menu, args
        if not plain:
            for page in pages:
                yield folder, menu, ['--codepage', page, '--json', menu]
                yield folder, menu, ['--codepage', page, '--fix=all', '--diff', menu]


def run_one(tool, folder, menu, args):
    """The run's exit status, output, errors and the menu after it, in a copy of folder."""
    with tempfile.TemporaryDirectory() as scratch:
        work = os.path.join(scratch, 'disc')
        shutil.copytree(folder, work, symlinks=True)
        given = b''
        if '-' in args:
            with open(os.path.join(work, menu), 'rb') as f:
                given = f.read()
        done = subprocess.run(tool + args, cwd=work, input=given, capture_output=True, timeout=120)
        with open(os.path.join(work, menu), 'rb') as f:
            after = f.read()
        return done.returncode, done.stdout, done.stderr, after


def main():
    native, module, source = (os.path.abspath(a) for a in sys.argv[1:4])
    node = shutil.which('node')
    if not node:
        print('wasm_differential: no node on the PATH')
        return 1
    todo = list(runs(source))
    failures = 0

    def compare(job):
        folder, menu, args = job
        a = run_one([native], folder, menu, args)
        b = run_one([node, module], folder, menu, args)
        if a == b:
            return None
        parts = [name for name, x, y in zip(('exit status', 'output', 'errors', 'menu written'), a, b) if x != y]
        shown = os.path.relpath(os.path.join(folder, menu), source)
        return '%s %s: the %s differ (native %r, wasm %r)' % (shown, ' '.join(args), ', '.join(parts),
                                                               a[2][:200], b[2][:200])

    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        for difference in pool.map(compare, todo):
            if difference:
                failures += 1
                if failures <= 40:
                    print('FAIL: ' + difference)
    print('wasm_differential: %d runs of %d menus, %d differ' % (len(todo), len(menus(source)), failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
