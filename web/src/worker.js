/*
 * The page's worker: it holds the one checker instance (the browser
 * module, put before this file in the worker's script) and answers the
 * page's requests, so that no check runs on the page's own thread.
 *
 * The page sends the editor's text, the file's encoding and the settings;
 * the worker writes the text as the file is written (the module's encode),
 * calls the checker on those bytes, and gives every position back as the
 * editor counts them, so that the page never sees a byte offset: UTF-16
 * units, where a file's CR LF is one line break.
 */
/* global createQuorlanChecker */
'use strict';

const checkerReady = createQuorlanChecker();

// Bytes that end a word as the warnings are shown (white space and the
// menu's separators); a `%` takes the byte after it into the word.
const NOT_WORD = new Set([0x20, 0x09, 0x0D, 0x0A, 0x0B, 0x0C, 0x2C, 0x7B, 0x7D, 0x27]);
const LONGEST_FIELD = 1023;

// The editor's text written in the file's encoding, with the mapping of
// its bytes to the text's units.
function writeMenu(checker, text, encoding, options, lineBreak, given) {
  const encoded = given ? {bytes: given, unheld: []} : checker.encode(text, Object.assign({encoding}, options));
  const bytes = encoded.bytes;
  const decoded = checker.decode(bytes, options);
  // A character the code page cannot hold is written as one byte of its
  // default; where it took two units in the editor, the decoded text is
  // one unit shorter from there on.
  const shifts = [];
  for (const at of encoded.unheld) {
    const unit = text.charCodeAt(at);
    if (unit >= 0xD800 && unit < 0xDC00 && at + 1 < text.length) shifts.push(at + 1 - shifts.length);
  }
  const marked = encoding === 'utf-8-marked' && decoded.encoding === 'utf-8-marked';
  // Where the editor's line break is CR LF, it counts as one position.
  const pairs = [];
  if (lineBreak === '\r\n')
    for (let at = text.indexOf('\r\n'); at >= 0; at = text.indexOf('\r\n', at + 2)) pairs.push(at);
  return {bytes, starts: decoded.starts, shifts, unheld: encoded.unheld, marked, text, pairs};
}

// The count of sorted numbers below the limit, each less its place.
function countBelow(sorted, limit, less) {
  let low = 0, high = sorted.length;
  while (low < high) {
    const mid = (low + high) >> 1;
    if (sorted[mid] - (less ? mid : 0) < limit) low = mid + 1;
    else high = mid;
  }
  return low;
}

// The editor's position of a unit of the text, and back.
function positionOf(menu, unit) { return unit - countBelow(menu.pairs, unit, false); }
function unitAt(menu, position) { return position + countBelow(menu.pairs, position, true); }

// The editor's position where the byte's character starts (the text's
// end for the menu's size).
function unitOf(menu, byte) {
  const starts = menu.starts;
  let low = 0, high = starts.length - 1;
  while (low < high) {
    const mid = (low + high) >> 1;
    if (starts[mid] < byte) low = mid + 1;
    else high = mid;
  }
  let unit = low;
  for (const shift of menu.shifts) if (shift <= unit) unit++;
  return positionOf(menu, Math.min(unit, menu.text.length));
}

// The byte that the editor's position starts at.
function byteOf(menu, position) {
  const unit = unitAt(menu, position);
  let decodedUnit = unit;
  for (const shift of menu.shifts) if (shift <= unit) decodedUnit--;
  return menu.starts[Math.max(0, Math.min(decodedUnit, menu.starts.length - 1))];
}

// The offset of a warning's line and byte column (lines end at a line
// feed; on the first, columns count from after the mark).
function offsetOfColumn(bytes, line, column) {
  let start = 0;
  for (let n = 1; n < line; n++) {
    const feed = bytes.indexOf(0x0A, start);
    if (feed < 0) break;
    start = feed + 1;
  }
  if (line === 1 && bytes[0] === 0xEF && bytes[1] === 0xBB && bytes[2] === 0xBF) start = 3;
  return start + column - 1;
}

// Just past the word that starts at offset, or the offset itself.
function wordEnd(menu, offset) {
  const bytes = menu.bytes, size = Math.min(bytes.length, offset + LONGEST_FIELD);
  let end = offset;
  while (end < size && !NOT_WORD.has(bytes[end]))
    end += bytes[end] === 0x25 && end + 1 < size && bytes[end + 1] !== 0x0D && bytes[end + 1] !== 0x0A ? 2 : 1;
  return end; // no word: the range takes the one character there
}

// A range of the editor, at least one character long where the text has one.
function rangeOf(menu, start, end) {
  const from = unitOf(menu, start);
  let to = Math.max(from, unitOf(menu, end));
  if (to === from && from < positionOf(menu, menu.text.length)) to = from + 1;
  return {from, to};
}

// The checker's report as the editor shows it: each warning on its word,
// with its note and its fix as edits of the editor's text.
function diagnosticsOf(menu, report) {
  return report.warnings.map((w) => {
    const at = offsetOfColumn(menu.bytes, w.line, w.column);
    const range = rangeOf(menu, at, wordEnd(menu, at));
    const shown = {from: range.from, to: range.to, severity: w.severity, code: w.code, message: w.message,
                   note: w.note || '', fix: null};
    if (w.fix) {
      shown.fix = {title: w.fix.title, safe: w.fix.safe, edits: w.fix.edits.map((e) => ({
        from: unitOf(menu, e.offset), to: unitOf(menu, e.offset + e.length), insert: e.text,
        offset: e.offset, length: e.length}))};
    }
    return shown;
  });
}

// The words as the editor's marks: ranges in units, with their kind.
function wordsOf(menu, words) {
  const out = new Int32Array(words.words.length * 4);
  words.words.forEach((w, i) => {
    out[4 * i] = unitOf(menu, w[0]);
    out[4 * i + 1] = unitOf(menu, w[1]);
    out[4 * i + 2] = w[2];
    out[4 * i + 3] = w[3];
  });
  return {legend: words.legend, marks: out};
}

// The window, with each entry's place in units, for the page to draw.
function windowOf(menu, window) {
  const place = (items) => items.forEach((item) => {
    item.from = unitOf(menu, item.nameStart >= 0 ? item.nameStart : item.start);
    place(item.children);
  });
  place(window.items);
  return window;
}

function settingsOf(request) {
  const options = {codePage: request.codePage, drive: request.drive, leftOut: request.leftOut};
  options.disc = request.disc || [];
  options.files = request.disc !== null;
  return options;
}

// The characters the code page cannot hold, at their places.
function unheldOf(menu) {
  return menu.unheld.map((at) => {
    const unit = menu.text.charCodeAt(at), length = unit >= 0xD800 && unit < 0xDC00 ? 2 : 1;
    return {from: positionOf(menu, at), to: positionOf(menu, at + length), text: menu.text.slice(at, at + length)};
  });
}

function writeRequest(checker, request, options) {
  return writeMenu(checker, request.text, request.encoding, options, request.lineBreak, request.bytes);
}

const handlers = {
  // A check of the text: its warnings.
  check(checker, request) {
    const options = settingsOf(request);
    const started = performance.now();
    const menu = writeRequest(checker, request, options);
    const checked = checker.check(menu.bytes, options);
    const diagnostics = checked.report ? diagnosticsOf(menu, checked.report) : [];
    return {status: checked.status, diagnostics, unheld: unheldOf(menu), checkMs: performance.now() - started};
  },
  // What the page draws of the text: its words and the window.
  draw(checker, request) {
    const options = settingsOf(request);
    const started = performance.now();
    const menu = writeRequest(checker, request, options);
    const words = checker.words(menu.bytes, options);
    const window = checker.window(menu.bytes, options);
    return {words: words ? wordsOf(menu, words) : null, window: window ? windowOf(menu, window) : null,
            drawMs: performance.now() - started};
  },
  // The safe fixes (all: the suggested ones too), or the house layout:
  // the new text, as the file's encoding reads back.
  mend(checker, request) {
    const options = settingsOf(request);
    const menu = writeRequest(checker, request, options);
    const done = request.op === 'format' ? checker.format(menu.bytes, Object.assign({fix: false}, options))
                                         : checker.fix(menu.bytes, Object.assign({all: request.all}, options));
    if (!done.bytes) return {problem: done.problem, fixed: []};
    const decoded = checker.decode(done.bytes, options);
    // A fix that saves the file with the mark changes its encoding; the
    // others keep the file's (text of ASCII only reads as UTF-8 too).
    const encoding = decoded.encoding === 'utf-8-marked' ? decoded.encoding : request.encoding;
    return {text: decoded.text, encoding, fixed: done.fixed || [], changed: done.changed};
  },
  complete(checker, request) {
    const options = settingsOf(request);
    const menu = writeRequest(checker, request, options);
    const done = checker.complete(menu.bytes, byteOf(menu, request.pos), options);
    return {from: unitOf(menu, done.start), to: unitOf(menu, done.end), incomplete: done.incomplete,
            items: done.items};
  },
  // The disc's names that the checker leaves out, as it cannot hold them.
  disc(checker, request) {
    return {unread: checker.unread(request.disc || []).length};
  },
  launch(checker, request) {
    return {launch: checker.launch(request.text, settingsOf(request))};
  },
  // A file's bytes as the editor holds them: its text, its encoding and
  // the report on the bytes themselves (a UTF-16 file, say).
  open(checker, request) {
    const options = settingsOf(request);
    const decoded = checker.decode(request.bytes, options);
    const checked = checker.check(request.bytes, options);
    return {text: decoded.text, encoding: decoded.encoding, report: checked.report};
  },
  // The editor's text in the file's encoding, to save.
  save(checker, request) {
    if (request.bytes) return {bytes: request.bytes, unheld: []};
    const options = settingsOf(request);
    const encoded = checker.encode(request.text, Object.assign({encoding: request.encoding}, options));
    return {bytes: encoded.bytes, unheld: encoded.unheld};
  },
};

self.onmessage = async (event) => {
  const request = event.data;
  let reply;
  try {
    const checker = await checkerReady;
    reply = {id: request.id, result: handlers[request.kind](checker, request)};
  } catch (e) {
    reply = {id: request.id, error: String(e && e.message || e)};
  }
  const transfer = reply.result && reply.result.words ? [reply.result.words.marks.buffer] : [];
  self.postMessage(reply, transfer);
};
