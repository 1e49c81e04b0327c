#!/usr/bin/env python3
"""Checks that the checker's sources keep their layout by role.

  check-layout.py BUILD_DIR SOURCE_DIR

- check/ holds folders (and its CMakeLists.txt), no source file at its top;
- no folder of check/ includes, through any chain of folders, the headers
  of a folder that includes its own;
- no two source files call each other: neither uses, by name, a function or
  variable that the other defines (read from the object files' symbols of
  the build's compile_commands.json).
Prints each breach and exits 1 if there is one.
"""
import collections
import json
import os
import re
import subprocess
import sys

SOURCE_SUFFIXES = ('.cpp', '.h')


def folder_of(rel):
    """The folder of check/ that holds rel (a path below check/), or None."""
    parts = rel.split('/')
    return parts[1] if len(parts) > 2 and parts[0] == 'check' else None


def include_edges(source):
    """Folder -> {folder whose headers it includes: an example include}."""
    edges = collections.defaultdict(dict)
    check = os.path.join(source, 'check')
    for base, _, names in os.walk(check):
        for name in names:
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            path = os.path.join(base, name)
            rel = os.path.relpath(path, source)
            here = folder_of(rel)
            with open(path, encoding='utf-8', errors='replace') as f:
                for line in f:
                    m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                    if not m:
                        continue
                    target = os.path.relpath(os.path.normpath(os.path.join(base, m.group(1))), source)
                    there = folder_of(target)
                    if here and there and here != there and here != 'tests':
                        edges[here].setdefault(there, '%s includes %s' % (rel, target))
    return edges


def folder_cycles(edges):
    """Each cycle of the folders' include graph, as a list of folders."""
    cycles, seen = [], set()
    def walk(node, path):
        for nxt in sorted(edges.get(node, {})):
            if nxt in path:
                cycle = path[path.index(nxt):]
                key = frozenset(cycle)
                if key not in seen:
                    seen.add(key)
                    cycles.append(cycle + [nxt])
            elif len(path) < len(edges) + 1:
                walk(nxt, path + [nxt])
    for start in sorted(edges):
        walk(start, [start])
    return cycles


def symbols(obj, *flags):
    out = subprocess.run(['nm', '-C'] + list(flags) + [obj], capture_output=True, text=True, check=True).stdout
    return out.splitlines()


def call_cycles(build, source):
    """Each pair of files that use what the other defines, with an example each way."""
    with open(os.path.join(build, 'compile_commands.json')) as f:
        commands = json.load(f)
    defined, used = {}, {}
    for entry in commands:
        rel = os.path.relpath(entry['file'], source)
        if not rel.startswith('check/') or rel.startswith('check/tests/') or folder_of(rel) is None:
            continue
        output = entry.get('output') or re.search(r'\s-o\s+(\S+)', entry['command']).group(1)
        obj = os.path.join(entry['directory'], output)
        if not os.path.exists(obj):
            continue
        # Strong definitions only: an inline function or a template is
        # defined weakly in every file that uses it.
        defined[rel] = set()
        for line in symbols(obj, '--defined-only'):
            parts = line.split(' ', 2)
            if len(parts) == 3 and parts[1] in 'TDBR':
                defined[rel].add(parts[2])
        used[rel] = set(line.strip()[2:] for line in symbols(obj, '-u') if line.strip())
    owner = {}
    for rel, names in defined.items():
        for name in names:
            owner.setdefault(name, rel)
    calls = collections.defaultdict(dict)
    for rel, names in used.items():
        for name in names:
            if name in owner and owner[name] != rel:
                calls[rel].setdefault(owner[name], name)
    pairs = []
    files = sorted(calls)
    for i, a in enumerate(files):
        for b in files[i + 1:]:
            if b in calls[a] and a in calls[b]:
                pairs.append((a, b, calls[a][b], calls[b][a]))
    return pairs, len(used)


def short(name):
    return name.split('(')[0]


def main():
    build, source = sys.argv[1], sys.argv[2]
    breaches = 0
    top = [n for n in os.listdir(os.path.join(source, 'check')) if n.endswith(SOURCE_SUFFIXES)]
    for name in sorted(top):
        print('check-layout: check/%s is a source file at check/\'s top' % name)
        breaches += 1
    edges = include_edges(source)
    for cycle in folder_cycles(edges):
        print('check-layout: the folders include each other: %s' % ' -> '.join(cycle))
        for a, b in zip(cycle, cycle[1:]):
            print('    %s' % edges[a][b])
        breaches += 1
    pairs, count = call_cycles(build, source)
    if count == 0:
        print('check-layout: no object files of check/ in %s: build it first' % build)
        return 1
    for a, b, ab, ba in pairs:
        print('check-layout: %s and %s call each other (%s uses %s, %s uses %s)'
              % (a, b, a, short(ab), b, short(ba)))
        breaches += 1
    if breaches == 0:
        print('check-layout: %d files of check/ in %d folders, no folder or file calls one that calls it'
              % (count, len(set(folder_of(r) for r in edges) | set(t for v in edges.values() for t in v))))
    return 1 if breaches else 0


if __name__ == '__main__':
    sys.exit(main())
