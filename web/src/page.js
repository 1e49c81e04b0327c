/*
 * The checker's page: the menu in an editor, checked as it is typed by
 * the browser module in a worker, its warnings, fixes, completion and
 * words shown as an editor shows the language server's; and beside it
 * the program's main window, drawn from the checker's own reading and
 * layout. The menu and the settings are kept in the address's fragment.
 *
 * Nothing leaves the page: the worker is started from a Blob of the
 * module's script, and a disc's folder gives its names only.
 */
import {EditorState, StateField, StateEffect, Compartment, Text} from '@codemirror/state';
import {EditorView, Decoration, keymap, lineNumbers, drawSelection, highlightActiveLine,
        highlightSpecialChars} from '@codemirror/view';
import {defaultKeymap, history, historyKeymap, indentWithTab, insertNewline} from '@codemirror/commands';
import {setDiagnostics, lintGutter, lintKeymap, forEachDiagnostic, openLintPanel} from '@codemirror/lint';
import {autocompletion, completionKeymap, startCompletion} from '@codemirror/autocomplete';
import workerSource from 'quorlan:worker';
import {drawWindow, describeLaunch} from './window.js';
import {readLink, writeLink, LINK_LIMIT, LINK_TEXT_LIMIT} from './link.js';
import {namesOfPicked, namesOfDropped} from './disc.js';

/* global QUORLAN_CODE_PAGES */

const CHECK_DELAY = 40;        // ms of quiet typing before a check
const LINK_DELAY = 300;        // ms before the address follows the text
const MAX_UNHELD_SHOWN = 100;  // as the language server: at most this many

const $ = (id) => document.getElementById(id);

// The file's state beside the editor's text.
const g_file = {name: 'Quorlan.ini', encoding: 'utf-8', handle: null, lineBreak: '\n', opened: null};
// The disc's names, or null with no folder given (the files not checked).
let g_disc = null;
let g_discName = '';
// The folder's own menu, where one was given with it.
let g_discMenu = null;
// The text as last opened or saved, to know whether a folder's menu may replace it.
let g_savedText = '';

// --- The worker ---------------------------------------------------------

const g_worker = new Worker(URL.createObjectURL(new Blob([workerSource], {type: 'text/javascript'})));
const g_waiting = new Map();
let g_nextId = 1;
g_worker.onmessage = (event) => {
  const {id, result, error} = event.data;
  const waiting = g_waiting.get(id);
  g_waiting.delete(id);
  if (error !== undefined) waiting.reject(new Error(error));
  else waiting.resolve(result);
};

function readSettings() {
  return {codePage: Number($('code-page').value), drive: $('drive').value,
          leftOut: $('left-out').value.split(/[\s,]+/).filter(Boolean), disc: g_disc};
}

function ask(kind, fields) {
  const id = g_nextId++;
  // Text as the file was opened stands for the file's own bytes, which a
  // byte the encoding leaves undefined makes other than the text written.
  const opened = g_file.opened;
  if (opened && fields.text === opened.text && fields.encoding === opened.encoding) fields.bytes = opened.bytes;
  return new Promise((resolve, reject) => {
    g_waiting.set(id, {resolve, reject});
    g_worker.postMessage(Object.assign({id, kind, lineBreak: g_file.lineBreak}, readSettings(), fields));
  });
}

// --- The words, as marks ------------------------------------------------

const setWords = StateEffect.define();
const wordsField = StateField.define({
  create: () => Decoration.none,
  update(marks, tr) {
    marks = marks.map(tr.changes);
    for (const effect of tr.effects) if (effect.is(setWords)) marks = effect.value;
    return marks;
  },
  provide: (field) => EditorView.decorations.from(field),
});

const g_markCache = new Map();
function markOf(type, modifiers) {
  const key = type + '/' + modifiers;
  if (!g_markCache.has(key)) g_markCache.set(key, Decoration.mark({class: 'w-' + type + modifiers}));
  return g_markCache.get(key);
}

function decorationsOf(words) {
  const ranges = [], marks = words.marks, types = words.legend.types, modifiers = words.legend.modifiers;
  for (let i = 0; i < marks.length; i += 4) {
    if (marks[i + 1] <= marks[i]) continue;
    let flags = '';
    modifiers.forEach((name, bit) => { if (marks[i + 3] & (1 << bit)) flags += ' w-' + name; });
    ranges.push(markOf(types[marks[i + 2]], flags).range(marks[i], marks[i + 1]));
  }
  // The checker gives the words in order; a set is sorted only where not.
  const sorted = ranges.every((r, i) => i === 0 || r.from >= ranges[i - 1].from);
  return Decoration.set(ranges, !sorted);
}

// --- The checks ---------------------------------------------------------

let g_view = null;
let g_checkTimer = 0;
let g_checking = false;
let g_checkAgain = false;
let g_firstCheck = true;
let g_lastWindow = null;

function scheduleCheck() {
  clearTimeout(g_checkTimer);
  g_checkTimer = setTimeout(() => {
    g_checkTimer = 0;
    runCheck();
  }, CHECK_DELAY);
}

// One check at a time; text typed meanwhile is checked when it ends. A
// result for text since changed is dropped: the newer check follows.
async function runCheck() {
  if (g_checking) {
    g_checkAgain = true;
    return;
  }
  g_checking = true;
  g_checkAgain = false;
  const doc = g_view.state.doc;
  const slow = setTimeout(() => { $('check-state').textContent = 'Checking…'; }, 1000);
  try {
    const fields = {text: g_view.state.sliceDoc(), encoding: g_file.encoding};
    const result = await ask('check', fields);
    $('settings-problem').textContent = '';
    if (g_view.state.doc === doc) showCheck(result);
    // The words and the window after the warnings, each in a task of its
    // own, and only for text that is still the editor's.
    if (g_view.state.doc === doc && !g_checkTimer) {
      const drawn = await ask('draw', fields);
      if (g_view.state.doc === doc) await showDrawing(drawn);
    }
  } catch (e) {
    $('settings-problem').textContent = e.message;
  }
  clearTimeout(slow);
  g_checking = false;
  if (g_checkAgain || g_view.state.doc !== doc) scheduleCheck();
}

function renderMessage(d) {
  return () => {
    const box = document.createElement('div');
    box.className = 'message';
    const message = document.createElement('div');
    message.textContent = d.message;
    box.appendChild(message);
    if (d.note) {
      const note = document.createElement('div');
      note.className = 'note';
      note.textContent = 'note: ' + d.note;
      box.appendChild(note);
    }
    if (d.code) {
      const code = document.createElement('div');
      code.className = 'code';
      code.textContent = '[' + d.code + ']';
      box.appendChild(code);
    }
    return box;
  };
}

// A fix that only puts the mark before the text changes the file's
// encoding, which the page holds beside the text.
function isMarkFix(fix) {
  return fix.edits.length === 1 && fix.edits[0].offset === 0 && fix.edits[0].length === 0 &&
         fix.edits[0].insert === '\uFEFF';
}

function useEncoding(encoding) {
  g_file.encoding = encoding;
  showFileState();
  scheduleCheck();
}

function actionOf(fix, doc) {
  return {
    name: fix.title + (fix.safe ? '' : ' (suggested)'),
    apply(view) {
      if (isMarkFix(fix)) return useEncoding('utf-8-marked');
      if (view.state.doc !== doc) return; // the text changed: the next check brings the fix anew
      view.dispatch({changes: fix.edits.map((e) => ({from: e.from, to: e.to, insert: e.insert})),
                     userEvent: 'input.fix'});
    },
  };
}

// The characters the file's code page cannot hold, as the language server says them.
function unheldDiagnostics(unheld) {
  return unheld.slice(0, MAX_UNHELD_SHOWN).map((char) => {
    const d = {from: char.from, to: char.to, severity: 'warning', code: '',
               message: JSON.stringify(char.text) + ' cannot be written in code page ' +
                        $('code-page').value + ', the encoding of the file on disc',
               note: 'write the text without it, or save the file as UTF-8 with a byte-order mark ("UTF-8 with BOM")'};
    return Object.assign(d, {actions: [{name: 'save the file as UTF-8 with the mark',
                                        apply: () => useEncoding('utf-8-marked')}]});
  });
}

function showCheck(result) {
  const doc = g_view.state.doc;
  const diagnostics = result.diagnostics.map((d) => ({
    from: d.from, to: d.to, severity: d.severity === 'error' ? 'error' : 'warning', source: d.code,
    message: d.message + (d.note ? ' (note: ' + d.note + ')' : '') + ' [' + d.code + ']',
    renderMessage: renderMessage(d), actions: d.fix ? [actionOf(d.fix, doc)] : [],
    markClass: 'code-' + d.code,
  }));
  for (const d of unheldDiagnostics(result.unheld))
    diagnostics.push(Object.assign({}, d, {renderMessage: renderMessage(d), message: d.message}));
  g_view.dispatch(setDiagnostics(g_view.state, diagnostics));
  const count = result.diagnostics.length + result.unheld.length;
  $('check-state').textContent = count === 0 ? 'No warnings.' : count === 1 ? '1 warning.' : count + ' warnings.';
  performance.mark('quorlan-checked', {detail: {checkMs: result.checkMs}});
  if (performance.getEntriesByType('mark').length > 1000) performance.clearMarks('quorlan-checked');
}

const nextTask = () => new Promise((resolve) => setTimeout(resolve, 0));

async function showDrawing(drawn) {
  const doc = g_view.state.doc;
  if (drawn.words) {
    await nextTask();
    if (g_view.state.doc !== doc) return;
    g_view.dispatch({effects: setWords.of(decorationsOf(drawn.words))});
  }
  if (drawn.window) {
    await nextTask();
    if (g_view.state.doc !== doc) return;
    g_lastWindow = drawn.window;
    drawWindow($('window-pane'), drawn.window, runLaunch);
  }
  performance.mark(g_firstCheck ? 'quorlan-first-check' : 'quorlan-drawn', {detail: {drawMs: drawn.drawMs}});
  if (performance.getEntriesByType('mark').length > 1000) performance.clearMarks('quorlan-drawn');
  g_firstCheck = false;
}

// What Run does with the command box's text: the shell gets it, split.
async function runLaunch(text) {
  const out = $('shell');
  try {
    const {launch} = await ask('launch', {text});
    out.textContent = describeLaunch(launch);
  } catch (e) {
    out.textContent = e.message;
  }
}

// --- Completion ---------------------------------------------------------

const COMPLETION_TYPES = {14: 'keyword', 17: 'file', 19: 'folder'};

async function completeMenu(context) {
  const result = await ask('complete', {text: context.state.sliceDoc(), encoding: g_file.encoding,
                                        pos: context.pos});
  if (!result.items.length || context.aborted) return null;
  return {
    from: result.from,
    to: result.to,
    filter: true,
    options: result.items.map((item) => ({
      label: item.label, type: COMPLETION_TYPES[item.kind] || 'text', info: item.documentation || undefined,
      apply(view, completion, from, to) {
        view.dispatch({changes: {from, to, insert: item.newText},
                       selection: {anchor: from + item.newText.length}, userEvent: 'input.complete'});
        if (item.folder) setTimeout(() => startCompletion(view), 0);
      },
    })),
  };
}

// --- The editor ---------------------------------------------------------

const g_lineBreak = new Compartment();

function makeState(text, lineBreak) {
  return EditorState.create({
    doc: text,
    extensions: [
      lineNumbers(), highlightSpecialChars(), history(), drawSelection(), highlightActiveLine(),
      g_lineBreak.of(EditorState.lineSeparator.of(lineBreak)),
      wordsField, lintGutter(),
      autocompletion({override: [completeMenu], activateOnTyping: true}),
      // Enter breaks the line only: the layout is Format's.
      keymap.of([...completionKeymap, {key: 'Enter', run: insertNewline}, ...lintKeymap, ...defaultKeymap, ...historyKeymap, indentWithTab]),
      EditorView.updateListener.of((update) => {
        if (update.docChanged) {
          scheduleCheck();
          scheduleLink();
        }
      }),
      EditorView.contentAttributes.of({'aria-label': 'The menu, Quorlan.ini'}),
    ],
  });
}

// The line break a text uses: its first one, as the file has it.
function lineBreakOf(text) {
  const found = /\r\n|\n|\r/.exec(text);
  return found ? found[0] : '\n';
}

function setText(text, lineBreak) {
  g_file.lineBreak = lineBreak || lineBreakOf(text);
  g_view.setState(makeState(text, g_file.lineBreak));
  showFileState();
  scheduleCheck();
  scheduleLink();
}

// Replaces the text by the new one, changing only what differs, so that
// the cursor and the undo history keep their places.
function replaceText(newText) {
  // Both in the editor's positions, each line break one.
  const old = g_view.state.doc.toString(), text = g_view.state.toText(newText).toString();
  let start = 0;
  while (start < old.length && start < text.length && old[start] === text[start]) start++;
  let end = 0;
  while (end < old.length - start && end < text.length - start &&
         old[old.length - 1 - end] === text[text.length - 1 - end]) end++;
  if (start === old.length && start === text.length) return;
  g_view.dispatch({changes: {from: start, to: old.length - end, insert: Text.of(text.slice(start, text.length - end).split('\n'))},
                   userEvent: 'input.mend'});
}

async function mend(op) {
  const state = $('mend-state');
  try {
    const done = await ask('mend', {op, all: false, text: g_view.state.sliceDoc(), encoding: g_file.encoding});
    if (done.problem) {
      state.textContent = `Not formatted: line ${done.problem.line}, column ${done.problem.column}: ${done.problem.message}`;
      return;
    }
    if (done.encoding !== g_file.encoding) useEncoding(done.encoding);
    replaceText(done.text);
    state.textContent = op === 'format' ? (done.changed ? 'Formatted.' : 'Already in the house layout.')
                      : done.fixed.length ? `Fixed: ${done.fixed.map((f) => f.title).join('; ')}.` : 'No safe fix to make.';
  } catch (e) {
    state.textContent = e.message;
  }
}

// --- Files --------------------------------------------------------------

const ENCODING_NAMES = {'utf-8-marked': 'UTF-8 with the mark', 'utf-8': 'UTF-8', 'code-page': 'code page'};
const LINE_BREAK_NAMES = {'\r\n': 'CR LF', '\n': 'LF', '\r': 'CR'};

function showFileState() {
  const encoding = g_file.encoding === 'code-page' ? 'code page ' + $('code-page').value : ENCODING_NAMES[g_file.encoding];
  $('file-state').textContent = `${g_file.name}: ${encoding}, line ends ${LINE_BREAK_NAMES[g_file.lineBreak]}`;
}

async function openBytes(name, bytes, handle) {
  const opened = await ask('open', {bytes});
  const notice = $('file-notice');
  notice.textContent = '';
  let text = opened.text, encoding = opened.encoding;
  const utf16 = opened.report && opened.report.warnings.find((w) => w.code === 'utf16-file');
  if (utf16) {
    // The program cannot read UTF-16: the file is offered as --fix saves it.
    if (!utf16.fix) {
      notice.textContent = `${name}: ${utf16.message}, and it does not convert whole (${utf16.note}).`;
      return;
    }
    text = utf16.fix.edits[0].text.replace(/^\uFEFF/, '');
    encoding = 'utf-8-marked';
    handle = null;
    notice.textContent = `${name} is UTF-16, which the program cannot read: it is shown as UTF-8 with the mark, ` +
                         'as --fix saves it, and Save writes it so.';
  }
  g_file.name = name;
  g_file.encoding = encoding;
  g_file.handle = handle || null;
  g_file.opened = utf16 ? null : {text, encoding, bytes};
  g_savedText = utf16 ? null : text;
  setText(text);
}

async function openFile(file, handle) {
  await openBytes(file.name, new Uint8Array(await file.arrayBuffer()), handle);
}

async function pickFile() {
  if (window.showOpenFilePicker) {
    try {
      const [handle] = await window.showOpenFilePicker({types: [{description: 'Menu', accept: {'text/plain': ['.ini']}}]});
      return openFile(await handle.getFile(), handle);
    } catch (e) {
      if (e.name === 'AbortError') return;
    }
  }
  $('open-input').click();
}

async function save() {
  const {bytes} = await ask('save', {text: g_view.state.sliceDoc(), encoding: g_file.encoding});
  if (g_file.handle && g_file.handle.createWritable) {
    try {
      const writable = await g_file.handle.createWritable();
      await writable.write(bytes);
      await writable.close();
      g_savedText = g_view.state.sliceDoc();
      $('mend-state').textContent = `Saved ${g_file.name}.`;
      return;
    } catch (e) {
      $('mend-state').textContent = `Not saved in place (${e.message}): downloaded instead.`;
    }
  }
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
  link.download = g_file.name;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  g_savedText = g_view.state.sliceDoc();
}

// --- The disc -----------------------------------------------------------

function useDisc(folder, names, menuFile) {
  g_disc = names;
  g_discName = folder;
  g_discMenu = menuFile || null;
  showDisc();
  scheduleCheck();
  // The folder's own menu replaces only text that nothing changed.
  const untouched = g_view.state.doc.length === 0 || g_view.state.sliceDoc() === g_savedText;
  if (menuFile && untouched) openFile(menuFile);
}

function showDisc() {
  const line = $('disc-state');
  $('open-disc-menu').hidden = !g_discMenu;
  if (g_disc === null) {
    line.textContent = 'Files are not checked: no folder given (pick or drop the disc\'s folder).';
    return;
  }
  const disc = g_disc;
  const files = disc.filter((n) => !n.endsWith('/')).length;
  const shown = `Disc: ${g_discName || 'the folder'}, ${files} file${files === 1 ? '' : 's'}; the commands' files are checked.`;
  line.textContent = shown;
  // The names the browser could not read, as the checker counts them.
  ask('disc', {}).then(({unread}) => {
    if (g_disc !== disc || !unread) return;
    line.textContent = shown + ` ${unread} name${unread === 1 ? '' : 's'} the browser could not read as text: a file not found beside one is not called missing.`;
  }, () => {});
}

// --- The link -----------------------------------------------------------

let g_linkTimer = 0;
let g_restoring = false;

function scheduleLink() {
  if (g_restoring) return;
  clearTimeout(g_linkTimer);
  g_linkTimer = setTimeout(updateLink, LINK_DELAY);
}

async function updateLink() {
  const settings = readSettings();
  const state = {text: g_view.state.sliceDoc(), encoding: g_file.encoding, name: g_file.name,
                 codePage: settings.codePage, drive: settings.drive, leftOut: $('left-out').value};
  const fragment = await writeLink(state);
  const base = location.href.replace(/#.*$/, '');
  if (fragment === null || fragment.length > LINK_LIMIT) {
    window.history.replaceState(null, '', base);
    $('link-state').textContent = fragment === null
      ? `The menu is too long to share as a link (over ${LINK_TEXT_LIMIT / 1024 / 1024} MB): the address holds none of it.`
      : `The menu is too long to share as a link (${Math.ceil(fragment.length / 1024)} KB ` +
        `of ${LINK_LIMIT / 1024} KB): the address holds none of it.`;
    return;
  }
  window.history.replaceState(null, '', base + '#' + fragment);
  $('link-state').textContent = 'The address holds this menu and its settings: a link to it opens the same page.';
  document.body.dataset.link = 'written';
}

async function restoreLink() {
  const state = await readLink(location.hash.slice(1));
  if (!state) return false;
  g_restoring = true;
  $('code-page').value = String(state.codePage);
  $('drive').value = state.drive;
  $('left-out').value = state.leftOut;
  g_file.encoding = state.encoding;
  g_file.name = state.name || 'Quorlan.ini';
  g_savedText = state.text;
  setText(state.text);
  g_restoring = false;
  return true;
}

// --- Start --------------------------------------------------------------

function fillSettings() {
  const pages = $('code-page');
  for (const [number, name] of QUORLAN_CODE_PAGES) {
    const option = document.createElement('option');
    option.value = String(number);
    option.textContent = `${number} (${name})`;
    option.selected = number === 1252;
    pages.appendChild(option);
  }
  const drive = $('drive');
  for (let c = 65; c <= 90; c++) {
    const option = document.createElement('option');
    option.value = option.textContent = String.fromCharCode(c);
    option.selected = c === 68;
    drive.appendChild(option);
  }
  // A file in the users' code page, not yet edited, reads anew in another.
  $('code-page').addEventListener('change', () => {
    const opened = g_file.opened;
    if (opened && opened.encoding === 'code-page' && g_view.state.sliceDoc() === opened.text)
      openBytes(g_file.name, opened.bytes, g_file.handle);
  });
  for (const id of ['code-page', 'drive', 'left-out'])
    $(id).addEventListener(id === 'left-out' ? 'input' : 'change', () => {
      showFileState();
      scheduleCheck();
      scheduleLink();
    });
}

function wireControls() {
  $('open').addEventListener('click', pickFile);
  $('open-input').addEventListener('change', (e) => { if (e.target.files[0]) openFile(e.target.files[0]); });
  $('save').addEventListener('click', save);
  $('fix-all').addEventListener('click', () => mend('fix'));
  $('format').addEventListener('click', () => mend('format'));
  $('warnings').addEventListener('click', () => openLintPanel(g_view));
  $('disc-input').addEventListener('change', (e) => {
    const {folder, names, menuFile} = namesOfPicked(e.target.files);
    useDisc(folder, names, menuFile);
  });
  $('open-disc-menu').addEventListener('click', () => g_discMenu && openFile(g_discMenu));
  $('forget-disc').addEventListener('click', () => useDisc('', null, null));
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', async (e) => {
    e.preventDefault();
    const dropped = await namesOfDropped(e.dataTransfer);
    if (dropped.file) openFile(dropped.file);
    else if (dropped.names) useDisc(dropped.folder, dropped.names, dropped.menuFile);
  });
}

async function start() {
  fillSettings();
  wireControls();
  g_view = new EditorView({state: makeState('', '\n'), parent: $('editor')});
  showDisc();
  showFileState();
  if (!(await restoreLink())) scheduleCheck();
  g_view.focus();
}

// For a look from the console: the diagnostics the editor shows now.
window.quorlanShown = () => {
  const shown = [];
  forEachDiagnostic(g_view.state, (d, from, to) => shown.push({from, to, code: d.source, message: d.message}));
  return {diagnostics: shown, window: g_lastWindow, text: g_view.state.sliceDoc(), encoding: g_file.encoding,
          busy: g_checking || g_checkTimer !== 0 || g_firstCheck};
};

start();
