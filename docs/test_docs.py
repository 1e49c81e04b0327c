#!/usr/bin/env python3
"""test_docs.py [--refresh] SOURCE CHECKER SHIPPED-BUILD [PAGE...]

Runs the commands that the documentation shows (SOURCE/README.md and
SOURCE/docs/*.md, or the PAGEs named) and compares what they print with
what the page shows, as cram does, so that the pages and the tools cannot
drift apart. Every failing comparison prints a unified diff, the page's
text against what the commands printed. With --refresh, the pages are
rewritten from what the commands print instead (outputs, exit statuses and
files shown), and the diff says what changed: docs are mended by running
this, then reading the new text.

The tools are the installed ones, from the build: SHIPPED-BUILD (the win32
configuration) installed into a temporary prefix, with its bin/quorlan-check
replaced by CHECKER (this configuration's native checker). That prefix is
shown as /usr, as the package installs it.

The format. Every fenced block (```) in a page has, on the line before its
opening fence, one marker, an HTML comment that the rendered page hides:

  <!-- docs-test: run FOLDER -->
  <!-- docs-test: run FOLDER status N -->
      The block is a shell session run in FOLDER by bash. A line "$ COMMAND"
      starts a command; the lines after it that start with "> " (or are
      ">" alone) continue it, as a here-document's lines; every other line
      up to the next "$ " is what the command prints, standard output and
      standard error together. An output line ending in " (glob)" matches
      any line that its text matches, "*" standing for any characters and
      "?" for one ("\\" before either takes it as itself); a line "..."
      matches any number of lines, none too. The block's last command exits
      with status N (0 when no status is given); each command before it
      exits 0. Commands of one block share one shell, so "cd" carries over
      to the next command, not to the next block.
  <!-- docs-test: write PATH -->
      The block is a file's text, written to PATH (its folders made) for
      the later blocks; one line break ends it.
  <!-- docs-test: shows PATH -->
      The block is what the file PATH holds after the blocks above it ran.
  <!-- docs-test: exempt: REASON -->
      The block is not run; REASON says why it cannot be run as it stands
      (a benchmark's measured figures, a window under Wine, an editor's
      configuration, the build's own commands). An exempt marker may also
      stand before a table, whose figures (measured ones, say) are not
      compared with anything.

FOLDER and PATH start with a root, then a path below it:
  ~NAME     a scratch home folder of the page, empty when the page first
            names it; its blocks run with HOME set to it, and its path in
            what they print is shown as "~".
  examples  (any folder of the repository, by its path) a copy of that
            folder, made when the page first names it, in a scratch home of
            its own, as ~/examples.
Each root is kept from one block to the next of the same page, with what
the earlier blocks wrote in it; pages do not share roots.

Every block runs with SOURCE_DATE_EPOCH set to the newest release's date in
CHANGELOG.md, as the package's own files are dated, and with LC_ALL=C.UTF-8,
TZ=UTC and no DISPLAY.
"""
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "package"))
import debian_files  # noqa: E402  (the release dates, read as the package reads them)

MARKER = re.compile(r"^<!-- docs-test: (run|write|shows|exempt:) ?(.*?) -->$")
FENCE = re.compile(r"^```")
STATUS = re.compile(r"^(.*?)(?: status (\d+))?$")
SALT = "docs-test-9f3c2a"
SHOWN_PREFIX = "/usr"


class Block:
    """A marked block: its kind, its argument, and where it stands in the
    page (the marker's line index, the body's first and past-last lines)."""

    def __init__(self, kind, argument, marker, start, end):
        self.kind, self.argument, self.marker, self.start, self.end = kind, argument, marker, start, end


def find_blocks(lines, page, failures):
    """Yields the page's blocks; a block without a marker, or a marker
    without a block, is a failure."""
    blocks = []
    index = 0
    while index < len(lines):
        line = lines[index]
        marker = MARKER.match(line)
        if line.startswith("<!-- docs-test") and not marker:
            failures.append(f"{page}:{index + 1}: a marker this runner does not read: {line}")
        if marker and marker.group(1) == "exempt:" and index + 1 < len(lines) and lines[index + 1].startswith("|"):
            index += 1  # a table of measured figures, say, which is not run
            continue
        if marker:
            if index + 1 >= len(lines) or not FENCE.match(lines[index + 1]):
                failures.append(f"{page}:{index + 1}: a marker not followed by a block")
                index += 1
                continue
            end = index + 2
            while end < len(lines) and lines[end] != "```":
                end += 1
            blocks.append(Block(marker.group(1).rstrip(":"), marker.group(2), index, index + 2, end))
            index = end + 1
            continue
        if FENCE.match(line):
            failures.append(f"{page}:{index + 1}: a block without a docs-test marker")
            end = index + 1
            while end < len(lines) and lines[end] != "```":
                end += 1
            index = end
        index += 1
    return blocks


def parse_session(body):
    """Yields [(command, expected lines)] of a run block's lines, or raises
    ValueError."""
    commands = []
    for line in body:
        if line.startswith("$ "):
            commands.append([line[2:], []])
        elif not commands:
            raise ValueError(f"output before the first command: {line!r}")
        elif not commands[-1][1] and (line.startswith("> ") or line == ">"):
            commands[-1][0] += "\n" + line[2:]
        else:
            commands[-1][1].append(line)
    if not commands:
        raise ValueError("no command")
    return commands


def line_matches(pattern, line):
    if pattern.endswith(" (glob)"):
        pattern = pattern[:-len(" (glob)")]
        expression = "".join(".*" if part == "*" else "." if part == "?" else re.escape(part[-1])
                             for part in re.findall(r"\\[*?]|\*|\?|.", pattern))
        return re.fullmatch(expression, line) is not None
    return pattern == line


def lines_match(expected, actual):
    """Whether ACTUAL matches EXPECTED, with its glob lines and "..."."""
    ends = {0}
    for pattern in expected:
        if pattern == "...":
            ends = set(range(min(ends), len(actual) + 1)) if ends else set()
        else:
            ends = {end + 1 for end in ends if end < len(actual) and line_matches(pattern, actual[end])}
        if not ends:
            return False
    return len(actual) in ends


def refreshed(expected, actual):
    """ACTUAL as the page should show it: where a line of EXPECTED with a
    pattern matches the line it stands for, the pattern stays."""
    if lines_match(expected, actual):
        return expected
    result = []
    matcher = difflib.SequenceMatcher(None, expected, actual, autojunk=False)
    for op, e1, e2, a1, a2 in matcher.get_opcodes():
        if op == "replace" and e2 - e1 == a2 - a1:
            result += [e if line_matches(e, a) else a for e, a in zip(expected[e1:e2], actual[a1:a2])]
        else:
            result += actual[a1:a2]
    return result


class Page:
    def __init__(self, source, path, scratch, prefix, environment):
        self.source, self.path, self.scratch, self.environment = source, path, scratch, environment
        self.prefix = prefix
        self.name = os.path.relpath(path, source)
        self.homes = {}  # root -> (home folder, the root's folder)

    def folder(self, argument):
        """The folder for a block's FOLDER or PATH: (home, folder)."""
        root, _, below = argument.partition("/")
        if root not in self.homes:
            home = os.path.realpath(tempfile.mkdtemp(dir=self.scratch, prefix="home-"))
            if root.startswith("~"):
                if not re.fullmatch(r"~[\w.-]+", root):
                    raise ValueError(f"not a root: {root}")
                self.homes[root] = (home, home)
            else:
                original = os.path.join(self.source, root)
                if not os.path.isdir(original) or os.path.isabs(root) or ".." in root.split("/"):
                    raise ValueError(f"not a folder of the repository: {root}")
                copy = os.path.join(home, os.path.basename(root))
                shutil.copytree(original, copy)
                self.homes[root] = (home, copy)
        home, top = self.homes[root]
        return home, os.path.join(top, below) if below else top

    def shown(self, text, home):
        for path, shown in sorted(((self.prefix, SHOWN_PREFIX), (home, "~")), key=lambda pair: -len(pair[0])):
            text = text.replace(path, shown)
        return text

    def run(self, block, body, failures):
        """Runs a run block; yields its body as the commands printed it."""
        argument, status = STATUS.match(block.argument).groups()
        status = int(status or 0)
        commands = parse_session(body)
        home, folder = self.folder(argument)
        if not os.path.isdir(folder):
            raise ValueError(f"no folder {argument} (an earlier block makes it)")
        script = "".join(f"{command}\nprintf '\\n{SALT} %d\\n' $?\n" for command, _ in commands)
        done = subprocess.run(["bash", "--noprofile", "--norc", "-c", script], cwd=folder, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, env=dict(self.environment, HOME=home), timeout=600)
        printed = self.shown(done.stdout.decode("utf-8", "backslashreplace"), home)
        pieces = re.split(rf"\n{SALT} (\d+)\n", printed)
        outputs = [(pieces[i], int(pieces[i + 1])) for i in range(0, len(pieces) - 1, 2)]
        if len(outputs) != len(commands):
            failures.append(f"{self.name}:{block.start + 1}: the shell stopped after {len(outputs)} of "
                            f"{len(commands)} commands:\n{printed}")
            return body, block.argument
        new_body = []
        ran_status = 0
        for number, ((command, expected), (output, code)) in enumerate(zip(commands, outputs)):
            output = output[:-1] if output.endswith("\n") else output
            actual = output.split("\n") if output else []
            first, *rest = command.split("\n")
            new_body += ["$ " + first] + ["> " + line if line else ">" for line in rest]
            new_body += refreshed(expected, actual)
            last = number == len(commands) - 1
            if not last and code != 0:
                failures.append(f"{self.name}:{block.start + 1}: `{command.splitlines()[0]}` exited {code}; "
                                "only a block's last command may fail")
            ran_status = code
        new_argument = argument + (f" status {ran_status}" if ran_status else "")
        if ran_status != status:
            failures.append(f"{self.name}:{block.marker + 1}: the last command exited {ran_status}, "
                            f"the page says {status}")
        return new_body, new_argument

    def check(self, refresh):
        """Runs the page's blocks; yields its failures, and rewrites the page
        with --refresh."""
        with open(self.path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        failures = []
        blocks = find_blocks(lines, self.name, failures)
        changed = list(lines)
        # From the last block up, so that a block's new length leaves the
        # places of the blocks above it as they are.
        results = []
        for block in blocks:
            body = lines[block.start:block.end]
            new_body, new_argument = body, block.argument
            try:
                if block.kind == "run":
                    new_body, new_argument = self.run(block, body, failures)
                elif block.kind == "write":
                    _, path = self.folder(block.argument)
                    os.makedirs(os.path.dirname(path), exist_ok=True)
                    with open(path, "w", encoding="utf-8", newline="") as f:
                        f.write("\n".join(body) + "\n")
                elif block.kind == "shows":
                    _, path = self.folder(block.argument)
                    with open(path, encoding="utf-8", errors="backslashreplace", newline="") as f:
                        held = f.read()
                    new_body = held[:-1].split("\n") if held.endswith("\n") else held.split("\n")
                elif not block.argument:
                    failures.append(f"{self.name}:{block.marker + 1}: an exemption without its reason")
            except (ValueError, OSError, subprocess.TimeoutExpired) as error:
                failures.append(f"{self.name}:{block.marker + 1}: {error}")
            if new_body != body:
                diff = difflib.unified_diff(body, new_body, f"{self.name} (the page)", "(as the commands print it)",
                                            lineterm="", n=2)
                failures.append(f"{self.name}:{block.start + 1}: the block differs:\n" + "\n".join(diff))
            results.append((block, new_body, new_argument))
        for block, new_body, new_argument in reversed(results):
            changed[block.start:block.end] = new_body
            kind = "exempt:" if block.kind == "exempt" else block.kind
            changed[block.marker] = f"<!-- docs-test: {kind} {new_argument} -->"
        if refresh and changed != lines:
            with open(self.path, "w", encoding="utf-8") as f:
                f.write("\n".join(changed))
        return failures, len(blocks)


def install_tools(scratch, checker, shipped):
    """The installed tree, from SHIPPED, with CHECKER as its quorlan-check;
    yields its prefix, and a line of warning when SHIPPED cannot install."""
    prefix = os.path.join(scratch, "prefix")
    done = subprocess.run(["cmake", "--install", shipped, "--prefix", prefix], capture_output=True, text=True)
    warning = None
    if done.returncode != 0:
        warning = (f"{shipped} does not install (build the win32 configuration first): "
                   "the blocks that run quorlan-disc fail")
    os.makedirs(os.path.join(prefix, "bin"), exist_ok=True)
    installed = os.path.join(prefix, "bin", "quorlan-check")
    if os.path.lexists(installed):
        os.remove(installed)
    os.symlink(os.path.realpath(checker), installed)
    return prefix, warning


def main(argv):
    refresh = "--refresh" in argv
    args = [arg for arg in argv if arg != "--refresh"]
    if len(args) < 3:
        sys.exit(__doc__)
    source, checker, shipped = (os.path.realpath(arg) for arg in args[:3])
    pages = [os.path.realpath(page) for page in args[3:]] or (
        [os.path.join(source, "README.md")] +
        sorted(os.path.join(source, "docs", name) for name in os.listdir(os.path.join(source, "docs"))
               if name.endswith(".md")))
    scratch = os.path.realpath(tempfile.mkdtemp(prefix="quorlan-docs-"))
    try:
        prefix, warning = install_tools(scratch, checker, shipped)
        if warning:
            print("warning:", warning)
        epoch = int(debian_files.releases(os.path.join(source, "CHANGELOG.md"))[0][1].timestamp())
        environment = {key: value for key, value in os.environ.items() if key != "DISPLAY"}
        environment.update(PATH=os.path.join(prefix, "bin") + os.pathsep + os.environ.get("PATH", ""),
                           SOURCE_DATE_EPOCH=str(epoch), LC_ALL="C.UTF-8", TZ="UTC", TERM="dumb")
        failures = []
        count = 0
        for path in pages:
            found, blocks = Page(source, path, scratch, prefix, environment).check(refresh)
            failures += found
            count += blocks
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    for failure in failures:
        print("FAIL:", failure)
    verb = "refreshed" if refresh else "checked"
    print(f"docs: {count} blocks {verb} in {len(pages)} pages, {len(failures)} failures")
    return 1 if failures and not refresh else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
