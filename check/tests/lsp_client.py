#!/usr/bin/env python3
"""quorlan-check --lsp driven by a scripted client, as an editor drives it.

Each case starts the server, speaks the protocol to it over pipes and
compares what it answers: the diagnostics of a menu with three mistakes
and after a change that mends one, a hover, the outline of a nested
sorted menu, positions on a line of 2-, 3- and 4-byte characters in both
position encodings, a saved UTF-8 file without the mark, an unsaved edit
to a code page 1252 file, every kind of bad input, each followed by a
request that must still be answered, the formatting of a menu,
completion over a disc of awkward names, changes, a hover and a
cancellation sent together, and a file put on the disc, seen with and
without a client that watches files. Every edit the server sends is
checked before it is applied: no position past its line's end, inside a
CR LF pair or inside a character, no two edits overlapping.

usage: lsp_client.py [--wine PREFIX] QUORLAN-CHECK SOURCE-FOLDER
With --wine, the Windows build runs under Wine in that prefix, and the
documents' addresses are those editors send on Windows (file:///z%3A/...).
"""
import json
import os
import queue
import subprocess
import sys
import tempfile
import threading
import urllib.parse

TIMEOUT = 120        # seconds for any one answer (Wine starts slowly)
RUNNER = []          # the program that runs the tool, if any
MAX_FILE = 64 * 1024 * 1024


class Failed(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failed(message)


def uri_of(path):
    """The address an editor gives the file (path: str or bytes)."""
    if RUNNER:
        return "file:///z%3A" + urllib.parse.quote(path)  # Wine's Z: is the root folder
    return "file://" + urllib.parse.quote(path)


def frame(message):
    body = json.dumps(message).encode("utf-8")
    return b"Content-Length: %d\r\n\r\n" % len(body) + body


class Client:
    def __init__(self, tool, utf8=False, settings=None, initialize=True, document_changes=False):
        self.stderr = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(RUNNER + [tool, "--lsp"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=self.stderr)
        self.messages = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self.next_id = 1
        if initialize:
            capabilities = {"textDocument": {"publishDiagnostics": {"relatedInformation": True}},
                            "general": {"positionEncodings": ["utf-8", "utf-16"] if utf8 else ["utf-16"]}}
            if document_changes:
                capabilities["workspace"] = {"workspaceEdit": {"documentChanges": True}}
            result = self.request("initialize", {"processId": None, "rootUri": None, "capabilities": capabilities,
                                                 "initializationOptions": settings or {}})
            expect(result["capabilities"]["positionEncoding"] == ("utf-8" if utf8 else "utf-16"),
                   f"initialize: {result}")
            self.notify("initialized", {})

    def _read(self):
        out = self.proc.stdout
        while True:
            length = None
            while True:
                line = out.readline()
                if not line:
                    self.messages.put(None)
                    return
                if not line.strip():
                    break
                name, _, value = line.partition(b":")
                if name.strip().lower() == b"content-length":
                    length = int(value)
            self.messages.put(json.loads(out.read(length)))

    def send_raw(self, data):
        self.proc.stdin.write(data)
        self.proc.stdin.flush()

    def send(self, message):
        self.send_raw(frame(message))

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def receive(self):
        try:
            message = self.messages.get(timeout=TIMEOUT)
        except queue.Empty:
            raise Failed("no answer in time")
        expect(message is not None, "the server ended")
        return message

    def answer(self, id, send=None):
        """The response to request id, and the error responses without an id before it."""
        if send:
            self.send_raw(send)
        errors = []
        while True:
            message = self.receive()
            if "method" in message:
                continue
            if message.get("id") == id:
                return message, errors
            expect(message.get("id") is None and "error" in message, f"unexpected {message}")
            errors.append(message["error"]["code"])

    def request(self, method, params=None):
        self.next_id += 1
        message, errors = self.answer(self.next_id, frame({"jsonrpc": "2.0", "id": self.next_id,
                                                           "method": method, "params": params or {}}))
        expect("result" in message and not errors, f"{method}: {message}, errors {errors}")
        return message["result"]

    def diagnostics(self, uri):
        """The next diagnostics published for the document."""
        while True:
            message = self.receive()
            if message.get("method") == "textDocument/publishDiagnostics" and message["params"]["uri"] == uri:
                return message["params"]["diagnostics"]

    def open(self, path, text=None, encoding="utf-8"):
        uri = uri_of(path)
        if text is None:
            text = open(path, "rb").read().decode(encoding).lstrip("\ufeff")
        self.notify("textDocument/didOpen",
                    {"textDocument": {"uri": uri, "languageId": "quorlan", "version": 1, "text": text}})
        return uri, self.diagnostics(uri)

    def change(self, uri, text, version=2):
        self.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": version},
                                               "contentChanges": [{"text": text}]})
        return self.diagnostics(uri)

    def hover(self, uri, line, character):
        return self.request("textDocument/hover", {"textDocument": {"uri": uri},
                                                   "position": {"line": line, "character": character}})

    def close(self, shut_down=True, exit_params={}):
        status = None
        try:
            if shut_down:
                expect(self.request("shutdown") is None, "shutdown answers null")
            self.notify("exit", exit_params)
            self.proc.stdin.close()
            status = self.proc.wait(timeout=TIMEOUT)
        finally:
            if self.proc.poll() is None:
                self.proc.kill()
                self.proc.wait()
        return status


def ranges(diagnostics):
    return [span(d["range"]) for d in diagnostics]


def span(r):
    return (r["start"]["line"], r["start"]["character"]), (r["end"]["line"], r["end"]["character"])


def case_three_mistakes(tool, source, folder):
    """Three diagnostics at their words, each note as related information;
    a change mends one; hover on an entry; settings changed later."""
    cases = os.path.join(source, "check", "tests", "cases")
    warnings = json.load(open(os.path.join(cases, "three-mistakes.expect.json"), encoding="utf-8"))["report"]["warnings"]
    client = Client(tool, settings={"quorlan": {"drive": "E"}})
    uri, found = client.open(os.path.join(cases, "three-mistakes.ini"))
    wanted = [((0, 11), (0, 17)), ((3, 8), (4, 0)), ((5, 18), (5, 32))]  # "Sorted", the line's end, the file
    expect(ranges(found) == wanted, f"three mistakes at {ranges(found)}, expected {wanted}")
    for d, w, r in zip(found, warnings, wanted):
        related = d.get("relatedInformation", [])
        expect(d["message"] == w["message"] and d["severity"] == 2, f"diagnostic {d}")
        expect(len(related) == 1 and related[0]["message"] == w["note"] and related[0]["location"]["uri"] == uri
               and span(related[0]["location"]["range"]) == r, f"related information {related}")

    text = open(os.path.join(cases, "three-mistakes.ini"), encoding="utf-8").read()
    found = client.change(uri, text.replace("Sorted", "sorted"))
    expect(ranges(found) == wanted[1:], f"after mending one: {ranges(found)}")

    hover = client.hover(uri, 2, 4)
    value = hover["contents"]["value"] if hover else ""
    expect(value.startswith('"Setup"\n') and 'file "E:\\setup.exe", parameters "/quiet", folder "E:"' in value
           and 'description: "Installs the demo"' in value and span(hover["range"]) == ((2, 2), (2, 47)),
           f"hover on Setup: {hover}")
    hover = client.hover(uri, 0, 2)
    value = hover["contents"]["value"] if hover else ""
    expect(value.startswith("**Demo Disc**") and "`size=640x480`" in value and "`sorted`" in value
           and "smallest size" in value and span(hover["range"]) == ((0, 0), (0, 31)), f"hover on the header: {hover}")

    client.notify("workspace/didChangeConfiguration", {"settings": {"quorlan": {"checkFiles": False}}})
    found = client.diagnostics(uri)
    expect(ranges(found) == wanted[1:2], f"without file checks: {ranges(found)}")
    expect(client.close() == 0, "exit after shutdown: status 0")


def editor_lines(text):
    """Each line as the editor counts lines (ended by LF, CR LF or a lone CR):
    where it starts, where its text ends and where its break ends."""
    lines, start, i = [], 0, 0
    while i < len(text):
        if text[i] in "\r\n":
            end = i + (2 if text[i:i + 2] == "\r\n" else 1)
            lines.append((start, i, end))
            start = i = end
        else:
            i += 1
    lines.append((start, len(text), len(text)))
    return lines


def index_of(text, lines, position, utf8):
    """The index in the text of an editor's position; fails on one past its
    line's end (so inside a CR LF pair too) or inside a character."""
    line, character = position["line"], position["character"]
    expect(0 <= line < len(lines), f"position {position}: the text has {len(lines)} lines")
    start, end, _ = lines[line]
    units = 0
    for i in range(start, end + 1):
        if units == character:
            expect(i == 0 or text[i - 1:i + 1] != "\r\n", f"position {position} is inside a CR LF pair")
            return i
        expect(units < character, f"position {position} is inside the character {text[i - 1]!r}")
        expect(i < end, f"position {position} is past its line's end ({units} units)")
        units += len(text[i].encode("utf-8")) if utf8 else len(text[i].encode("utf-16-le")) // 2


def apply_edits(text, edits, utf8=False):
    """The text after the edits, as an editor makes them, each checked first:
    its positions within their lines, its start not after its end, and no
    two edits overlapping."""
    lines = editor_lines(text)
    spans = sorted(((index_of(text, lines, e["range"]["start"], utf8), index_of(text, lines, e["range"]["end"], utf8),
                     e["newText"]) for e in edits), key=lambda span: span[:2])  # at the same place: as sent
    for n, (start, end, _) in enumerate(spans):
        expect(start <= end and (n == 0 or spans[n - 1][1] <= start),
               f"edits that end before they start, or overlap: {edits}")
    for start, end, new in reversed(spans):
        text = text[:start] + new + text[end:]
    return text


def case_code_actions(tool, source, folder):
    """Diagnostics with their codes and severities; a quick fix for each fix,
    preferred where safe, for the document's version; the fix-all action of
    the safe ones; each applied as an editor applies it, then checked. Then
    over a table of menus (insertions, CR LF, characters of 2 to 4 bytes,
    a code page, both position encodings): each quick fix and the fix-all
    give the text that the checker's own edits of the bytes give."""
    cases = os.path.join(source, "check", "tests", "cases")
    client = Client(tool, settings={"quorlan": {"drive": "E"}}, document_changes=True)
    uri, found = client.open(os.path.join(cases, "three-mistakes.ini"))
    text = open(os.path.join(cases, "three-mistakes.ini"), encoding="utf-8").read()
    expect([d.get("code") for d in found] == ["option-case", "missing-comma", "missing-file"]
           and all(d["severity"] == 2 for d in found), f"codes and severities: {found}")
    whole = {"start": {"line": 0, "character": 0}, "end": {"line": 7, "character": 0}}
    actions = client.request("textDocument/codeAction", {"textDocument": {"uri": uri}, "range": whole,
                                                         "context": {"diagnostics": found}})
    expect([(a["kind"], a.get("isPreferred", False)) for a in actions] == [("quickfix", True), ("quickfix", False)],
           f"quick fixes: {actions}")
    change = actions[1]["edit"]["documentChanges"][0]
    expect(change["textDocument"] == {"uri": uri, "version": 1}, f"edit for version 1: {change}")
    mended = apply_edits(text, change["edits"])
    expect("  Readme,,,\n  Manual," in mended, f"missing comma mended: {mended!r}")
    found = client.change(uri, mended, version=2)
    expect([d.get("code") for d in found] == ["option-case", "missing-file"], f"after the quick fix: {found}")

    actions = client.request("textDocument/codeAction", {"textDocument": {"uri": uri}, "range": whole,
                                                         "context": {"diagnostics": [],
                                                                     "only": ["source.fixAll.quorlan"]}})
    expect(len(actions) == 1 and actions[0]["kind"] == "source.fixAll.quorlan", f"fix all: {actions}")
    change = actions[0]["edit"]["documentChanges"][0]
    expect(change["textDocument"]["version"] == 2, f"fix all for version 2: {change}")
    found = client.change(uri, apply_edits(mended, change["edits"]), version=3)
    expect([d.get("code") for d in found] == ["missing-file"], f"after fixing all: {found}")

    client.notify("workspace/didChangeConfiguration", {"settings": {"quorlan": {"ignore": ["missing-file"]}}})
    expect(client.diagnostics(uri) == [], "ignored: missing-file")
    uri, found = client.open(os.path.join(folder, "Quorlan.ini"), text="Disc\n{\n  A, a.exe, 'open\n}\n")
    expect([(d.get("code"), d["severity"]) for d in found] == [("open-list", 2), ("open-quote", 1)],
           f"an error has severity 1: {found}")
    expect(client.close() == 0, "exit after shutdown: status 0")

    # Each quick fix, and the fix-all action, applied as the editor applies
    # it, gives the text the checker's own edits give the file's bytes,
    # decoded as the editor holds them: from the file as read, then from
    # the editor's text.
    tour = (b"My First Disc, Sorted\n{\n  Read Me, readme.txt, What is on this disc\n"
            b"  Guide, guide.txt, How to use it\n}\n")
    wide = ("\ufeff\u00e9\u20ac\U0001f600 Offers\n{\n  \u00e9\u20ac\U0001f600, x.pdf, \U0001f600 Save 20% today, don't\n"
            "  Next, y.pdf, it's \u20ac5\n}\n").encode("utf-8")
    code_page = (b"Caf\xe9 Disc\r\n{\r\n  Caf\xe9 Menu, menu.txt, Caf\xe9 to go 10% off\r\n"
                 b"  Caf\xe9 Drinks, drinks.txt, Don't miss it, we'll\r\n}\r\n")
    rows = [  # (what, the file, as the editor decodes it, UTF-8 positions)
        ("Don't, closed by a later apostrophe",
         b"Disc\n{\n  Readme, readme.txt, Don't skip this,\n  Guide, guide.txt, Read the guide's steps\n}\n",
         "utf-8", False),
        ("Kids' Disc", b"Kids' Disc, sorted\n{\n  Games, games.exe, for the kids'\n}\n", "utf-8", False),
        ("Save 20% today", b"Offers\n{\n  Offer, offer.pdf, Save 20% today,\n}\n", "utf-8", False),
        ("two slips of one code on a line", b"Offers\n{\n  Offer, offer.pdf, 20% today, 30% later,\n}\n", "utf-8", False),
        ("the tour's menu", tour, "utf-8", False),
        ("the tour's menu in CR LF", tour.replace(b"\n", b"\r\n"), "utf-8", False),
        ("after characters of 2, 3 and 4 bytes", wide, "utf-8-sig", False),
        ("after characters of 2, 3 and 4 bytes, in UTF-8 positions", wide, "utf-8-sig", True),
        ("code page 1252", code_page, "cp1252", False),
        ("code page 1252, in UTF-8 positions", code_page, "cp1252", True),
    ]
    path = os.path.join(folder, "fixes.ini")
    for what, data, encoding, utf8 in rows:
        open(path, "wb").write(data)
        done = subprocess.run(RUNNER + [tool, "--json", "--no-files", "--codepage", "1252", "fixes.ini"], cwd=folder,
                              capture_output=True, timeout=TIMEOUT)
        warnings = json.loads(done.stdout.decode("utf-8"))["warnings"]
        expect(any(w.get("fix") for w in warnings), f"{what}: no fix to make: {warnings}")

        def made(edits):  # as ApplyFixEdits makes them, each text in the file's encoding
            out = data
            for edit in sorted(edits, key=lambda e: e["offset"], reverse=True):
                written = edit["text"].encode("cp1252" if encoding == "cp1252" else "utf-8")
                out = out[:edit["offset"]] + written + out[edit["offset"] + edit["length"]:]
            return out.decode(encoding)

        text = data.decode(encoding)
        client = Client(tool, utf8=utf8, settings={"quorlan": {"checkFiles": False, "codePage": 1252}})
        uri, found = client.open(path, text=text)
        for version in (1, 2):
            if version == 2:
                found = client.change(uri, text)
            expect([d.get("code") for d in found] == [w["code"] for w in warnings], f"{what}: diagnostics {found}")
            safe = {}
            for d, w in zip(found, warnings):
                actions = client.request("textDocument/codeAction", {
                    "textDocument": {"uri": uri}, "range": d["range"],
                    "context": {"diagnostics": [d], "only": ["quickfix"]}})
                # The diagnostic given back as it was sent gets its own fix,
                # not another of its code on its line.
                expect(len(actions) == (1 if w.get("fix") else 0)
                       and all(a["title"] == f"{w['fix']['title']} [{w['code']}]" for a in actions),
                       f"{what}, version {version}: quick fixes for {w}: {actions}")
                if actions:
                    fix = w["fix"]
                    fixed = apply_edits(text, actions[0]["edit"]["changes"][uri], utf8)
                    expect(fixed == made(fix["edits"]), f"{what}, version {version}: {w['code']} gives {fixed!r}")
                    if fix["safe"]:
                        safe[(w["line"], w["column"], w["code"])] = fix["edits"]
            safe = sum(safe.values(), [])
            actions = client.request("textDocument/codeAction", {
                "textDocument": {"uri": uri}, "range": whole,
                "context": {"diagnostics": [], "only": ["source.fixAll.quorlan"]}})
            expect(len(actions) == (len(safe) > 0), f"{what}, version {version}: fix all: {actions}")
            if actions:
                fixed = apply_edits(text, actions[0]["edit"]["changes"][uri], utf8)
                expect(fixed == made(safe), f"{what}, version {version}: fix all gives {fixed!r}")
        client.close()


def case_near_name(tool, source, folder):
    """The quick fix of a missing file where one name on the disc is close:
    the name as the disc writes it; applied, the diagnostic is gone. A UTF-8
    file without the mark has no quick fix: the editor keeps its encoding."""
    disc = os.path.join(folder, "near")
    os.makedirs(os.path.join(disc, "bin"), exist_ok=True)
    open(os.path.join(disc, "bin", "Tool.exe"), "wb").close()
    text = "Disc \u00dcbersicht\n{\n  Tool, tool.exe /q\n}\n"
    path = os.path.join(disc, "Quorlan.ini")
    open(path, "w", encoding="utf-8", newline="\n").write(text)
    client = Client(tool, document_changes=True)
    uri, found = client.open(path)
    expect([d.get("code") for d in found] == ["utf8-unmarked", "missing-file"], f"near name: {found}")
    whole = {"start": {"line": 0, "character": 0}, "end": {"line": 4, "character": 0}}
    actions = client.request("textDocument/codeAction", {"textDocument": {"uri": uri}, "range": whole,
                                                         "context": {"diagnostics": found}})
    expect([(a["kind"], a.get("isPreferred", False)) for a in actions] == [("quickfix", False)],
           f"one suggested quick fix, none for the encoding: {actions}")
    mended = apply_edits(text, actions[0]["edit"]["documentChanges"][0]["edits"]) if actions else ""
    expect("  Tool, bin\\Tool.exe /q\n" in mended, f"the disc's name: {mended!r}")
    found = client.change(uri, mended, version=2)
    expect([d.get("code") for d in found] == ["utf8-unmarked"], f"after the quick fix: {found}")
    client.close()


def case_symbols(tool, source, folder):
    """The outline of a nested sorted menu, in the tree's sorted order."""
    lines = ["Nested, sorted", "{", "  Zeta, z.exe, Last,",
             "  alpha, a.exe, First { Beta, b.exe, Two, Apple, a.exe, One }", "  Mid", "}", ""]
    path = os.path.join(folder, "sorted.ini")
    open(path, "w", newline="\n").write("\n".join(lines))
    client = Client(tool)
    uri, _ = client.open(path)
    symbols = client.request("textDocument/documentSymbol", {"textDocument": {"uri": uri}})

    def tree(items):
        return [(s["name"], s["kind"], tree(s["children"])) for s in items]

    wanted = [("alpha", 3, [("Apple", 1, []), ("Beta", 1, [])]), ("Mid", 15, []), ("Zeta", 1, [])]
    expect(tree(symbols) == wanted, f"outline {tree(symbols)}")
    for symbol, line in ((symbols[0], 3), (symbols[0]["children"][0], 3), (symbols[2], 2)):
        column = lines[line].index(symbol["name"])
        expect(span(symbol["selectionRange"]) == ((line, column), (line, column + len(symbol["name"]))),
               f"{symbol['name']} selected at {symbol['selectionRange']}")
    alpha = span(symbols[0]["range"])
    expect(alpha[0] == (3, 2) and alpha[1] >= span(symbols[0]["children"][1]["range"])[1],
           f"alpha's range {alpha} holds its children")

    # The whole answer, written as text as it is built: three levels, a
    # detail, names and commands with characters JSON escapes; %: is the
    # menu's drive (Wine's Z:).
    path = os.path.join(folder, "escapes.ini")
    open(path, "wb").write(b"\xef\xbb\xbfEscapes\n{\n  Say \"hi\" \\ \xc3\xa9 \xe2\x98\x83, %:\\a b.exe /x, "
                           b"Level { Inner, c:\\x.exe, Deeper { Deepest } }\n  Last\n}\n")
    uri, _ = client.open(path)
    symbols = client.request("textDocument/documentSymbol", {"textDocument": {"uri": uri}})

    def symbol(name, kind, line, start, end, selected, detail, children=()):
        whole = {"start": {"line": line, "character": start}, "end": {"line": line, "character": end}}
        return {"name": name, "kind": kind, "detail": detail, "range": whole, "children": list(children),
                "selectionRange": dict(whole, end={"line": line, "character": selected})}

    wanted = [symbol("Say \"hi\" \\ \u00e9 ?", 3, 2, 2, 74, 16, ("Z" if RUNNER else "D") + ":\\a b.exe /x", [
                  symbol("Inner", 3, 2, 41, 74, 46, "c:\\x.exe", [symbol("Deepest", 15, 2, 67, 74, 74, "")])]),
              symbol("Last", 15, 3, 2, 6, 6, "")]
    expect(symbols == wanted, f"outline {symbols}")
    client.close()


def case_outline(tool, source, folder):
    """Folding ranges and selection ranges on nested menus, in both position
    encodings; the header's hover, its caption as the title bar shows UTF-8
    without the mark."""
    lines = ["é Nested, sorted, size=500x400", "{", "  é Tools", "  {", "    Editor, edit.exe, 'Edits", "    text'",
             "    Deep { Inner, i.exe, d }", "  }", "  More { Last,", "  l.exe }", "}", "Left out {", ""]
    path = os.path.join(folder, "nested.ini")
    open(path, "wb").write("\n".join(lines).encode("utf-8"))
    for utf8, shift in ((False, 0), (True, 1)):  # é is one UTF-16 unit, two UTF-8 bytes
        client = Client(tool, utf8=utf8, settings={"quorlan": {"checkFiles": False}})
        uri, _ = client.open(path)
        folds = client.request("textDocument/foldingRange", {"textDocument": {"uri": uri}})
        # The list and Tools keep their } in sight; More's } closes a line of text; a quote over two lines.
        wanted = [(1, 0, 9), (3, 2, 6), (4, 22, 5), (8, 7, 9)]
        expect([(f["startLine"], f["startCharacter"], f["endLine"]) for f in folds] == wanted,
               f"utf8={utf8}: folds {folds}, expected {wanted}")
        chain = client.request("textDocument/selectionRange", {"textDocument": {"uri": uri},
                                                               "positions": [{"line": 6, "character": 14},
                                                                             {"line": 2, "character": 3 + shift}]})
        spans = []
        for selection in chain:
            spans.append([])
            while selection:
                spans[-1].append(span(selection["range"]))
                selection = selection.get("parent")
        # Inner: the field, its entry, Deep's level, Tools' level, the list.
        expect(spans[0] == [((6, 11), (6, 16)), ((6, 11), (6, 26)), ((6, 9), (6, 28)), ((3, 2), (7, 3)),
                            ((1, 0), (10, 1))], f"utf8={utf8}: selection round Inner {spans[0]}")
        expect(spans[1] == [((2, 2), (2, 9 + shift)), ((1, 0), (10, 1))], f"utf8={utf8}: round é Tools {spans[1]}")
        hover = client.hover(uri, 0, 4)
        value = hover["contents"]["value"] if hover else ""
        expect(hover and hover["contents"]["kind"] == "markdown" and value.startswith("**Ã© Nested**")
               and "`sorted`" in value and "500 x 400 pixels" in value and "smallest size" in value
               and span(hover["range"]) == ((0, 0), (0, 30 + shift)), f"utf8={utf8}: hover on the header: {hover}")
        client.close()


def case_links(tool, source, folder):
    """A link for each command whose file is on the disc, from its file part
    to that file's address as the file check finds it (in the disc's case,
    escapes and quotes read); none for a missing file or an address; the
    definition of a command is the same place."""
    os.mkdir(os.path.join(folder, "docs"))
    for name in ("setup.exe", os.path.join("docs", "Manual.pdf"), "a b.txt", "a,b.txt"):
        open(os.path.join(folder, name), "w").close()
    lines = ["Disc", "{", "  Setup, %:\\setup.exe /quiet, Installs,", "  Manual, docs\\manual.pdf,,",
             "  Spaced, \"%:\\a b.txt\" x,,", "  Comma, a%,b.txt,,", "  Gone, missing.exe,,", "  Site, http://example.com/",
             "}", ""]
    path = os.path.join(folder, "Quorlan.ini")
    open(path, "w", newline="\n").write("\n".join(lines))
    client = Client(tool)
    uri, _ = client.open(path)
    links = client.request("textDocument/documentLink", {"textDocument": {"uri": uri}})
    wanted = []
    for line, part, name in ((2, "%:\\setup.exe", "setup.exe"), (3, "docs\\manual.pdf", "docs/Manual.pdf"),
                             (4, "\"%:\\a b.txt\"", "a b.txt"), (5, "a%,b.txt", "a,b.txt")):
        column = lines[line].index(part)
        wanted.append((((line, column), (line, column + len(part))), uri_of(os.path.join(folder, name))))
    expect([(span(link["range"]), link["target"]) for link in links] == wanted, f"links {links}, expected {wanted}")
    for line, character, target in ((3, 12, wanted[1][1]), (4, 24, wanted[2][1]), (6, 10, None), (3, 4, None)):
        found = client.request("textDocument/definition", {"textDocument": {"uri": uri},
                                                           "position": {"line": line, "character": character}})
        expect((found["uri"] if found else None) == target, f"definition at {line}:{character}: {found}")
    client.close()


def semantic_tokens(client, uri):
    """The document's semantic tokens, each (line, character, length, type, modifiers)."""
    data = client.request("textDocument/semanticTokens/full", {"textDocument": {"uri": uri}})["data"]
    tokens, line, character = [], 0, 0
    for i in range(0, len(data), 5):
        character = (0 if data[i] else character) + data[i + 1]
        line += data[i]
        tokens.append((line, character, data[i + 2], data[i + 3], data[i + 4]))
    return tokens


def case_tokens(tool, source, folder):
    """Semantic tokens as the loading reads the menu: a command's file part
    and parameters apart, a quoted stretch split at the line's end."""
    path = os.path.join(folder, "tokens.ini")
    open(path, "w", newline="\n").write("D\n{\n  A, x.exe /q, 'two\nlines'\n}\n")
    client = Client(tool, settings={"quorlan": {"checkFiles": False}})
    uri, _ = client.open(path)
    tokens = semantic_tokens(client, uri)
    client.close()
    TITLE, NAME, FILE, PARAMETER, STRING, OPERATOR, QUOTED = 0, 3, 4, 5, 6, 8, 2
    wanted = [(0, 0, 1, TITLE, 0), (1, 0, 1, OPERATOR, 0), (2, 2, 1, NAME, 0), (2, 3, 1, OPERATOR, 0),
              (2, 5, 5, FILE, 0), (2, 11, 2, PARAMETER, 0), (2, 13, 1, OPERATOR, 0), (2, 15, 1, OPERATOR, 0),
              (2, 16, 3, STRING, QUOTED), (3, 0, 5, STRING, QUOTED), (3, 5, 1, OPERATOR, 0), (4, 0, 1, OPERATOR, 0)]
    expect(tokens == wanted, f"tokens {tokens}, expected {wanted}")


def case_positions(tool, source, folder):
    """Characters of 2, 3 and 4 bytes before a warning and an entry, in
    UTF-16 units and in UTF-8 bytes."""
    path = os.path.join(folder, "wide.ini")
    text = "é€😀 Disc, Sorted\n{\n  é€😀, x.exe, D, Next, y.exe\n}\n"
    open(path, "wb").write(b"\xef\xbb\xbf" + text.encode("utf-8"))
    rows = [  # (utf8, [😀 of the title, "Sorted", 😀 of the name], "Next" at)
        (False, [((0, 2), (0, 4)), ((0, 11), (0, 17)), ((2, 4), (2, 6))], 18),
        (True, [((0, 5), (0, 9)), ((0, 16), (0, 22)), ((2, 7), (2, 11))], 23),
    ]
    for utf8, wanted, next_at in rows:
        client = Client(tool, utf8=utf8, settings={"quorlan": {"checkFiles": False}})
        uri, found = client.open(path)
        expect(ranges(found) == wanted, f"utf8={utf8}: diagnostics at {ranges(found)}, expected {wanted}")
        hover = client.hover(uri, 2, next_at)
        expect(hover and hover["contents"]["value"].startswith('"Next"'), f"utf8={utf8}: hover on Next: {hover}")
        client.close()


def case_long_line(tool, source, folder):
    """Positions far into a line of thousands of characters of 1 to 4 bytes
    (the server finds them from marks along such a line): the warnings,
    tokens, hover and selection ranges after a long stretch are those of
    the same entries without it, moved by the stretch's units; in UTF-8
    with the mark and in code page 1252 edited, in both position encodings."""
    tail = "Offer, offer.pdf, Save 20% today, Next, y.exe"
    rows = (("utf-8-sig", "\u00e9\u20ac\U0001f600 "), ("cp1252", "\u00e9\u20ac "))
    for encoding, letters in rows:
        stretch = "".join("%s%d, x%d.exe, D, " % (letters, i, i) for i in range(400))
        texts = ["Disc\n{\n  " + tail + "\n}\n", "Disc\n{\n  " + stretch + tail + "\n}\n"]
        for utf8 in (False, True):
            units = len(stretch.encode("utf-8")) if utf8 else len(stretch.encode("utf-16-le")) // 2
            client = Client(tool, utf8=utf8, settings={"quorlan": {"checkFiles": False}})
            found = []
            for n, text in enumerate(texts):
                path = os.path.join(folder, "line%d.ini" % n)
                open(path, "wb").write(text.encode(encoding))
                uri, diagnostics = client.open(path, text)
                if encoding == "cp1252":  # the bytes made from the editor's text
                    diagnostics = client.change(uri, text + " ")
                shift = units if n else 0
                next_at = {"line": 2, "character": 2 + tail.index("Next") + shift}
                hover = client.hover(uri, next_at["line"], next_at["character"])
                chain = client.request("textDocument/selectionRange", {"textDocument": {"uri": uri},
                                                                       "positions": [next_at]})[0]
                selections = []
                while chain:
                    (l0, c0), (l1, c1) = span(chain["range"])
                    selections.append(((l0, c0 - (shift if l0 == 2 else 0)), (l1, c1 - (shift if l1 == 2 else 0))))
                    chain = chain.get("parent")
                tokens = [(line, character - (shift if line == 2 else 0), length, kind, flags)
                          for line, character, length, kind, flags in semantic_tokens(client, uri)
                          if line != 2 or character >= 2 + shift]
                warned = [((l0, c0 - shift), (l1, c1 - shift)) for (l0, c0), (l1, c1) in ranges(diagnostics)
                          if l0 == 2 and c0 >= 2 + shift]  # the stretch's own warnings left out
                found.append((warned,
                              hover["contents"]["value"] if hover else None, selections, tokens))
            client.close()
            expect(found[0][0] and found[0][1] and found[0][1].startswith('"Next"'),
                   f"{encoding}, utf8={utf8}: the short line's warnings and hover: {found[0]}")
            expect(found[1] == found[0], f"{encoding}, utf8={utf8}: after a stretch of {units} units: "
                                         f"{found[1]}, expected {found[0]}")


def case_unmarked_utf8(tool, source, folder):
    """A UTF-8 file without the mark warns on open; saved with it, not."""
    path = os.path.join(folder, "unmarked.ini")
    text = "Disc Übersicht\n{ A }\n"
    open(path, "wb").write(text.encode("utf-8"))
    client = Client(tool)
    uri, found = client.open(path)
    expect(ranges(found) == [((0, 5), (0, 14))] and "UTF-8 without a byte-order mark" in found[0]["message"],
           f"unmarked UTF-8: {found}")
    open(path, "wb").write(b"\xef\xbb\xbf" + text.encode("utf-8"))
    client.notify("textDocument/didSave", {"textDocument": {"uri": uri}})
    found = client.diagnostics(uri)
    expect(found == [], f"saved with the mark: {found}")
    client.close()


def case_code_page_edit(tool, source, folder):
    """An unsaved edit to a code page 1252 file: the text written in 1252,
    a character 1252 cannot hold a diagnostic of its own; a file name that
    is not UTF-8, in a folder whose name is not either (not under Wine)."""
    folder = os.path.join(os.fsencode(folder), b"d\xe9j\xe0" if not RUNNER else b"cp1252")
    os.mkdir(folder)
    path = os.path.join(folder, b"Quorlan.ini")
    open(path, "wb").write(b"Caf\xe9 Disc\r\n{ Entry, caf\xe9.exe }\r\n")
    client = Client(tool)
    uri, found = client.open(path, encoding="cp1252")
    missing = ((1, 9), (1, 17))
    expect(ranges(found) == [missing] and '"café.exe"' in found[0]["message"], f"1252 file: {found}")
    hover = client.hover(uri, 1, 3)
    expect(hover and 'file "café.exe"' in hover["contents"]["value"], f"hover: {hover}")
    found = client.change(uri, "Café Disc ✓\r\n{ Entry, café.exe }\r\n")
    expect(ranges(found) == [((0, 10), (0, 11)), missing] and "code page 1252" in found[0]["message"],
           f"edited with a character 1252 cannot hold: {found}")
    client.close()


def case_bad_input(tool, source, folder):
    """Each bad input gets its error (or nothing), and the next request is answered."""
    path = os.path.join(folder, "bad.ini")
    open(path, "w").write("Disc\n{ A }\n")
    client = Client(tool, settings={"quorlan": {"checkFiles": False}})
    uri, _ = client.open(path)

    def symbols(id):
        return frame({"jsonrpc": "2.0", "id": id, "method": "textDocument/documentSymbol",
                      "params": {"textDocument": {"uri": uri}}})

    nowhere = {"textDocument": {"uri": uri_of(os.path.join(folder, "never-opened.ini")), "version": 3}}
    body = symbols(900).split(b"\r\n\r\n", 1)[1]
    rows = [  # (what, bytes sent, error codes without an id, a request answered first: (id, error code))
        ("malformed JSON", b'Content-Length: 20\r\n\r\n{"jsonrpc": "2.0", "', [-32700], None),
        ("Content-Length too short", b"Content-Length: %d\r\n\r\n" % (len(body) - 10) + body, [-32700], None),
        ("Content-Length too long", b"Content-Length: %d\r\n\r\n" % (len(body) + 10) + body, [], (900, None)),
        ("no Content-Length", b"Content-Type: application/vscode-jsonrpc\r\n\r\n" + body, [-32700], None),
        ("Content-Length not a number", b"Content-Length: twelve\r\n\r\n" + body, [-32700], None),
        ("not an object", frame([1, 2]), [-32600], None),
        ("unknown method", frame({"jsonrpc": "2.0", "id": 901, "method": "quorlan/unknown"}), [], (901, -32601)),
        ("initialize again", frame({"jsonrpc": "2.0", "id": 902, "method": "initialize", "params": {}}), [],
         (902, -32600)),
        ("notifications for a document never opened",
         b"".join(frame({"jsonrpc": "2.0", "method": m, "params": dict(nowhere, contentChanges=[{"text": "x"}])})
                  for m in ("textDocument/didChange", "textDocument/didSave", "textDocument/didClose")), [], None),
        ("Content-Length beyond what is read", b"Content-Length: 999999999999\r\n\r\n" + body, [-32600], None),
        ("initialized with params null", frame({"jsonrpc": "2.0", "method": "initialized", "params": None}), [], None),
        # Escapes of surrogates that are not halves of a pair (json.dumps
        # writes each as \uXXXX) read as U+FFFD; a pair is kept.
        ("lone surrogate escapes",
         frame({"jsonrpc": "2.0", "id": "\ud800 \udc00 \ud800A \ud800\ud83d\ude00 \\ud800",
                "method": "textDocument/documentSymbol", "params": {"textDocument": {"uri": uri}}}),
         [], ("\ufffd \ufffd \ufffdA \ufffd\U0001f600 \\ud800", None)),
    ]
    for n, (what, data, errors, first) in enumerate(rows):
        # Sent with the next request: a length too long waits for more bytes.
        client.send_raw(data + symbols(1000 + n))
        got = []
        if first:
            message, got = client.answer(first[0])
            code = message.get("error", {}).get("code")
            expect(code == first[1] and (code or "result" in message), f"{what}: answered {message}")
        message, more = client.answer(1000 + n)
        expect(got + more == errors, f"{what}: errors {got + more}, expected {errors}")
        expect([s["name"] for s in message.get("result") or []] == ["A"], f"{what}: then {message}")

    # Beyond 64 MiB, one diagnostic; up to it, the whole check.
    menu = "Disc\n{ A, a, '"
    found = client.change(uri, menu + "x" * (MAX_FILE + 1 - len(menu) - 4) + "' }\n")
    expect(len(found) == 1 and "too large to check" in found[0]["message"], f"64 MiB + 1: {found}")
    found = client.change(uri, menu + "x" * (MAX_FILE - len(menu) - 4) + "' }\n", 3)
    expect(len(found) == 1 and "only its first 8191 are kept" in found[0]["message"], f"64 MiB: {found}")

    # Some clients send params null where a method takes none.
    message, _ = client.answer(1999, frame({"jsonrpc": "2.0", "id": 1999, "method": "shutdown", "params": None}))
    expect("result" in message and message["result"] is None, f"shutdown with params null: {message}")
    message, _ = client.answer(2000, symbols(2000))
    expect(message.get("error", {}).get("code") == -32600, f"a request after shutdown: {message}")
    expect(client.close(shut_down=False, exit_params=None) == 0, "exit with params null after shutdown: status 0")

    # Before initialize: requests refused, notifications dropped; exit
    # without shutdown ends with status 1.
    client = Client(tool, initialize=False)
    message, _ = client.answer(1, symbols(1))
    expect(message.get("error", {}).get("code") == -32002, f"a request before initialize: {message}")
    client.send({"jsonrpc": "2.0", "method": "textDocument/didOpen",
              "params": {"textDocument": {"uri": uri, "text": "x", "version": 1}}})
    message, _ = client.answer(2, frame({"jsonrpc": "2.0", "id": 2, "method": "initialize",
                                         "params": {"capabilities": {}}}))
    expect("result" in message, f"initialize after a refused request: {message}")
    message, _ = client.answer(3, symbols(3))
    expect(message.get("error", {}).get("code") == -32602, f"a document opened before initialize: {message}")
    expect(client.close(shut_down=False) == 1, "exit without shutdown: status 1")


def case_formatting(tool, source, folder):
    """The house layout as edits of the white space: of the whole menu (CR LF
    kept, a quoted line left as it is, text beyond ASCII before the edits),
    then nothing more to do; of the one entry a range touches; and an error
    for a menu whose quote is never closed."""
    text = ("Caf\u00e9 Disc,sorted\r\n{\r\n Setup ,setup.exe,\r\n'Two\r\n  lines',\r\n"
            "      Tools{ Edit , edit.exe }\r\n\r\n\r\n Last\r\n}")
    wanted = ("Caf\u00e9 Disc, sorted\r\n{\r\n  Setup, setup.exe,\r\n    'Two\r\n  lines',\r\n"
              "  Tools\r\n  {\r\n    Edit, edit.exe\r\n  }\r\n\r\n  Last\r\n}\r\n")
    path = os.path.join(folder, "layout.ini")
    open(path, "w", newline="").write(text)
    client = Client(tool, settings={"quorlan": {"checkFiles": False}})
    uri, _ = client.open(path)
    options = {"tabSize": 8, "insertSpaces": False}
    edits = client.request("textDocument/formatting", {"textDocument": {"uri": uri}, "options": options})
    formatted = apply_edits(text, edits)
    expect(formatted == wanted, f"formatted {formatted!r}")
    client.change(uri, formatted)
    edits = client.request("textDocument/formatting", {"textDocument": {"uri": uri}, "options": options})
    expect(edits == [], f"formatted again: {edits}")

    client.change(uri, text, version=3)
    within = {"start": {"line": 5, "character": 0}, "end": {"line": 6, "character": 0}}
    edits = client.request("textDocument/rangeFormatting",
                           {"textDocument": {"uri": uri}, "range": within, "options": options})
    formatted = apply_edits(text, edits)
    # The entries on the line and the white space around them; the rest as it was.
    expect(formatted == text[:text.index("\r\n      Tools")] + wanted[wanted.index("\r\n  Tools"):-2],
           f"range formatted {formatted!r}")

    client.change(uri, "Disc\n{\n  A, 'open\n}\n", version=4)
    client.next_id += 1
    message, _ = client.answer(client.next_id, frame({"jsonrpc": "2.0", "id": client.next_id,
                                                      "method": "textDocument/formatting",
                                                      "params": {"textDocument": {"uri": uri}, "options": options}}))
    error = message.get("error", {})
    expect(error.get("code") == -32803 and "3:6: not formatted" in error.get("message", "")
           and "\n" not in error["message"], f"an open quote: {message}")
    client.close()


def case_completion(tool, source, folder):
    """Completion of the header's options, and of the disc's names in a
    command over a disc of awkward names: each item offered, inserted as the
    editor inserts it and read by the checker's own loading, gives the shell
    that file of the disc, found by the file check; names no Windows gets
    intact are not offered (beyond the code page, not UTF-8 on the disc, one
    Windows cannot have, or beyond ASCII in a UTF-8 menu without the mark,
    unless codePage is 65001)."""
    names = ["a b.txt", "two  spaces.txt", "a,b.txt", "50% off.txt", "Don't.txt", "{x}.txt", "caf\u00e9.txt",
             "\u03a9mega.txt", "setup.exe", "docs", "My Docs"]
    for name in names:
        if "." in name:
            open(os.path.join(folder, name), "w").close()
        else:
            os.mkdir(os.path.join(folder, name))
    open(os.path.join(folder, "docs", "Manual.PDF"), "w").close()
    open(os.path.join(folder, "My Docs", "read me.txt"), "w").close()
    if not RUNNER:  # Wine shows these as other names: not UTF-8, and none Windows can have
        for name in (b"caf\xe9.exe", b"star*.txt", b"ends in a dot.", b"tab\t.txt"):
            open(os.path.join(os.fsencode(folder), name), "w").close()
    ascii = {n for n in names if n.isascii()} - {"docs", "My Docs"} | {"docs\\", "My Docs\\", "Quorlan.ini"}
    rows = [  # (how the menu is written, codePage, file part typed, the disc's names offered)
        ("utf-8-sig", 1252, "%:\\", ascii | {"caf\u00e9.txt"}),
        ("utf-8-sig", 1252, "", ascii | {"caf\u00e9.txt"}),
        ("utf-8-sig", 1252, "\\", ascii | {"caf\u00e9.txt"}),
        ("cp1252", 1252, "%:\\", ascii | {"caf\u00e9.txt"}),
        ("utf-8", 1252, "%:\\", ascii),
        ("utf-8", 65001, "%:\\", ascii | {"caf\u00e9.txt", "\u03a9mega.txt"}),
        ("utf-8-sig", 1252, "%:\\DOCS\\", {"docs\\Manual.PDF"}),
        ("utf-8-sig", 1252, "\"%:\\My Docs\\\"", {"My Docs\\read me.txt"}),
    ]
    path = os.path.join(folder, "Quorlan.ini")
    for encoding, code_page, typed, wanted in rows:
        row = f"{encoding}, {code_page}, {typed!r}"
        text = "Caf\u00e9 Disc\r\n{\r\n  Item, " + typed + "\r\n}\r\n"  # beyond ASCII: the server tells the encoding
        open(path, "wb").write(text.encode(encoding))
        client = Client(tool, settings={"quorlan": {"drive": "E", "codePage": code_page}})
        uri, _ = client.open(path, encoding=encoding)
        result = client.request("textDocument/completion", {"textDocument": {"uri": uri},
                                                            "position": {"line": 2, "character": 8 + len(typed)}})
        client.close()
        offered = set()
        for item in result["items"]:
            edit = item["textEdit"]
            # Neovim 0.7 replaces from the edits' start only where every item
            # has the same one and none a filterText, and keeps the items
            # whose text starts with what is typed; VS Code filters by label.
            expect(span(edit["range"]) == ((2, 8), (2, 8 + len(typed))) and "filterText" not in item
                   and item["label"] == edit["newText"], f"{row}: the edit {item}")
            open(path, "wb").write(apply_edits(text, [edit]).encode(encoding))
            done = subprocess.run(RUNNER + [tool, "--json", "--drive", "E", "--codepage", str(code_page),
                                            "Quorlan.ini"], cwd=folder, capture_output=True, timeout=TIMEOUT)
            report = json.loads(done.stdout.decode("utf-8"))
            launch = report["items"][0]["record"]["launch"]
            file = launch["file"]
            inside = file[1:-1] if file.startswith('"') and file.endswith('"') else file
            expect(('"' in file) == (" " in inside), f"{row}: {item['label']} gives the shell {file}")
            for start in ("E:\\", "\\"):
                if typed.startswith(start.replace("E:", "%:")) or typed.startswith('"' + start.replace("E:", "%:")):
                    expect(inside.startswith(start), f"{row}: {item['label']} gives the shell {file}")
                    inside = inside[len(start):]
                    break
            on_disc = os.path.join(folder, *inside.rstrip("\\").split("\\"))
            expect(os.path.basename(on_disc) in os.listdir(os.path.dirname(on_disc)),
                   f"{row}: {item['label']} gives the shell {file}, not a name on the disc")
            expect(not [w for w in report["warnings"] if w["code"] == "missing-file"],
                   f"{row}: {item['label']}: the file check does not find it: {report['warnings']}")
            expect(item["kind"] == (19 if inside.endswith("\\") else 17), f"{row}: the kind of {item}")
            offered.add(inside)
        expect(offered == wanted, f"{row}: offered {sorted(offered)}, expected {sorted(wanted)}")

    open(path, "wb").write(b"Disc, so\r\n{\r\n}\r\n")
    client = Client(tool, settings={"quorlan": {"checkFiles": False}})
    uri, _ = client.open(path)
    result = client.request("textDocument/completion", {"textDocument": {"uri": uri},
                                                        "position": {"line": 0, "character": 8}})
    expect([(i["label"], span(i["textEdit"]["range"])) for i in result["items"]] ==
           [(o, ((0, 6), (0, 8))) for o in ("sorted", "install", "size=")], f"options: {result}")
    expect("189x94" in result["items"][2]["documentation"]["value"], f"size='s smallest size: {result}")
    for position in ((0, 2), (1, 0), (1, 1)):  # the title; past the option's line; the entry list
        result = client.request("textDocument/completion", {"textDocument": {"uri": uri},
                                                            "position": dict(zip(("line", "character"), position))})
        expect(result["items"] == [], f"nothing at {position}: {result}")
    client.close()


def case_burst(tool, source, folder):
    """Changes sent together: diagnostics only for the newest version; a
    hover among them answered on its own version's text; $/cancelRequest
    answers a request not yet answered with RequestCancelled, and is
    nothing for one answered; then a request is answered."""
    def menu(version, name):  # "Sorted" moves with the version
        return "Disc" + " " * version + ", Sorted\n{\n  %s, x.exe\n}\n" % name

    path = os.path.join(folder, "burst.ini")
    open(path, "w", newline="\n").write(menu(1, "First"))
    client = Client(tool, settings={"quorlan": {"checkFiles": False}})
    uri, _ = client.open(path)

    def change(version, name):
        return frame({"jsonrpc": "2.0", "method": "textDocument/didChange",
                      "params": {"textDocument": {"uri": uri, "version": version},
                                 "contentChanges": [{"text": menu(version, name)}]}})

    def request(id, method, **params):
        return frame({"jsonrpc": "2.0", "id": id, "method": method,
                      "params": dict(params, textDocument={"uri": uri})})

    def cancel(id):
        return frame({"jsonrpc": "2.0", "method": "$/cancelRequest", "params": {"id": id}})

    hover = {"line": 2, "character": 4}
    rows = [  # (what, bytes sent in one write, the version published, {id: what its answer holds})
        ("a hover among changes", change(2, "Second") + request(50, "textDocument/hover", position=hover)
         + change(3, "Third") + change(4, "Fourth") + change(5, "Fifth"), 5, {50: "Second"}),
        ("a hover cancelled", change(6, "Sixth") + request(51, "textDocument/hover", position=hover) + cancel(51)
         + cancel(50) + request(52, "textDocument/documentSymbol"), 6, {51: -32800, 52: "Sixth"}),
    ]
    for what, data, version, wanted in rows:
        client.send_raw(data)
        published, answers = [], {}
        while not published or len(answers) < len(wanted):
            message = client.receive()
            if message.get("method") == "textDocument/publishDiagnostics":
                published.append(message["params"])
            elif "id" in message:
                answers[message["id"]] = message
        expect([p.get("version") for p in published] == [version]
               and ranges(published[0]["diagnostics"]) == [((0, version + 6), (0, version + 12))],
               f"{what}: published {published}")
        for id, holds in wanted.items():
            message = answers.get(id, {})
            if isinstance(holds, int):
                expect(message.get("error", {}).get("code") == holds, f"{what}: {id} answered {message}")
            else:
                expect(holds in json.dumps(message.get("result")), f"{what}: {id} answered {message}")
    client.close()


def missing_files(diagnostics):
    return [d["message"] for d in diagnostics if "is not in the menu's folder" in d["message"]]


def watching_client(tool, relative):
    """A client that watches files for the server, with relative patterns or string globs."""
    client = Client(tool, initialize=False)
    watch = {"dynamicRegistration": True, "relativePatternSupport": relative}
    client.request("initialize", {"processId": None, "rootUri": None, "capabilities": {
        "workspace": {"didChangeWatchedFiles": watch}, "general": {"positionEncodings": ["utf-16"]}}})
    client.notify("initialized", {})
    return client


def case_file_created(tool, source, folder):
    """A file put on the disc ends the warning that it is missing: at the next
    edit, by the folder's new time, with a client that watches no files;
    at once, with no edit, on the watching client's notification, even
    where the folder's time says nothing changed. The watching client is
    asked to watch the menu's folder, and the server takes its answer."""
    path = os.path.join(folder, "Quorlan.ini")
    text = "Disc\r\n{\r\n  Setup, setup.exe, Installs it.,\r\n  Later, later.exe, Starts it.\r\n}\r\n"
    with open(path, "w", newline="") as menu:
        menu.write(text)
    an_hour_ago = os.stat(folder).st_mtime - 3600
    os.utime(folder, (an_hour_ago, an_hour_ago))  # a listing of it is kept from check to check
    client = Client(tool)
    uri, found = client.open(path)
    expect(len(missing_files(found)) == 2, f"two files missing: {found}")
    open(os.path.join(folder, "setup.exe"), "wb").close()
    found = client.change(uri, text, version=2)
    expect(len(missing_files(found)) == 1 and "later.exe" in missing_files(found)[0], f"setup.exe put there: {found}")
    client.close()

    for relative in (True, False):
        os.utime(folder, (an_hour_ago, an_hour_ago))
        client = watching_client(tool, relative)
        client.notify("textDocument/didOpen",
                      {"textDocument": {"uri": uri, "languageId": "quorlan", "version": 1, "text": text}})
        registration = None
        while registration is None:
            message = client.receive()
            if message.get("method") == "client/registerCapability":
                registration = message
        client.send({"jsonrpc": "2.0", "id": registration["id"], "result": None})
        watchers = registration["params"]["registrations"][0]["registerOptions"]["watchers"]
        pattern = watchers[0]["globPattern"]
        if relative:
            expect(pattern == {"baseUri": uri_of(folder), "pattern": "**/*"}, f"watchers {watchers}")
        else:
            expect(isinstance(pattern, str) and pattern.endswith(os.path.basename(folder) + "/**/*"),
                   f"watchers {watchers}")
        found = client.diagnostics(uri)
        expect(len(missing_files(found)) == 1, f"later.exe missing: {found}")
        later = os.path.join(folder, "later.exe")
        open(later, "wb").close()
        os.utime(folder, (an_hour_ago, an_hour_ago))  # the time cannot tell
        client.notify("workspace/didChangeWatchedFiles", {"changes": [{"uri": uri_of(later), "type": 1}]})
        found = client.diagnostics(uri)
        expect(missing_files(found) == [], f"later.exe put there: {found}")
        expect(client.hover(uri, 2, 4) is not None, "a hover after the files changed")
        os.remove(later)
        client.notify("workspace/didChangeWatchedFiles", {"changes": [{"uri": uri_of(later), "type": 3}]})
        found = client.diagnostics(uri)
        expect(len(missing_files(found)) == 1, f"later.exe removed: {found}")
        expect(client.close() == 0, "exit after shutdown: status 0")


def case_restored_buffer(tool, source, folder):
    """On open, the editor's text where it is not the file on disc (a
    restored unsaved buffer), written as the file on disc is; the disc's
    bytes where it is."""
    rows = [  # (what, the file on disc, the editor's text, the diagnostics' ranges)
        ("an option typed", b"Disc\n{ A }\n", "Disc, Sorted\n{ A }\n", [((0, 6), (0, 12))]),
        ("an option mended", b"Disc, Sorted\n{ A }\n", "Disc\n{ A }\n", []),
        ("the same text in code page 1252", b"Caf\xe9 Disc, Sorted\r\n{ A }\r\n", "Caf\u00e9 Disc, Sorted\r\n{ A }\r\n",
         [((0, 11), (0, 17))]),
        ("a character 1252 cannot hold", b"Caf\xe9 Disc, Sorted\r\n{ A }\r\n",
         "Caf\u00e9 Disc, Sorted \u2713\r\n{ A }\r\n", [((0, 18), (0, 19)), ((0, 11), (0, 17))]),
    ]
    client = Client(tool, settings={"quorlan": {"checkFiles": False}})
    for n, (what, disc, text, wanted) in enumerate(rows):
        path = os.path.join(folder, "restored%d.ini" % n)
        open(path, "wb").write(disc)
        uri, found = client.open(path, text=text)
        expect(ranges(found) == wanted, f"{what}: diagnostics at {ranges(found)}, expected {wanted}")
    client.close()


CASES = [case_code_actions, case_near_name, case_three_mistakes, case_symbols, case_outline, case_links, case_tokens,
         case_positions, case_long_line, case_unmarked_utf8, case_code_page_edit, case_bad_input, case_formatting, case_completion,
         case_burst, case_file_created, case_restored_buffer]


def main():
    args = sys.argv[1:]
    prefix = os.path.abspath(args.pop(1)) if args[0] == "--wine" else None
    tool, source = os.path.abspath(args[-2]), os.path.abspath(args[-1])
    if prefix:
        # The Wine environment of every script and test, one Wine server for all.
        RUNNER.extend([os.path.join(source, "scripts", "wine-env.sh"), prefix])
        subprocess.run(RUNNER + ["quorlan_wineserver", "-p5"], check=True, timeout=120)
        RUNNER.append("quorlan_wine")
    failed = 0
    for case in CASES:
        with tempfile.TemporaryDirectory() as folder:
            try:
                case(tool, source, folder)
                continue
            except Failed as failure:
                print(f"FAIL: {case.__name__}: {failure}")
            except Exception as error:  # a malformed answer
                print(f"FAIL: {case.__name__}: {type(error).__name__}: {error}")
            failed += 1
    print(f"{len(CASES)} language server cases: {failed} failed")
    return 1 if failed else 0

if __name__ == "__main__":
    sys.exit(main())
