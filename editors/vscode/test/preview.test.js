// "Quorlan: Preview the menu" against the stand-in for vscode: what it
// saves, what it runs with which arguments, and what the author sees.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const EventEmitter = require('events');
const fs = require('fs');
const os = require('os');
const path = require('path');
const {state, openMenu, reset} = require('./support/vscode-stand-in');
const {previewMenu, removePictures} = require('../src/preview');

// A spawn that records its call and plays the run: lines printed, the
// picture written when asked, then the exit status (or a failure to start).
function fakeSpawn(runs, {lines = [], picture = false, code = 0, error = null} = {}) {
  return (file, args, options) => {
    runs.push({file, args, cwd: options.cwd});
    const child = new EventEmitter();
    child.stdout = new EventEmitter();
    child.stderr = new EventEmitter();
    child.kill = () => {};
    child.unref = () => {};
    setImmediate(() => {
      if (error) return child.emit('error', Object.assign(new Error(error), {code: error}));
      child.emit('spawn');
      for (const line of lines) child.stdout.emit('data', Buffer.from(line + '\n'));
      if (picture) fs.writeFileSync(args[3], 'png');
      child.emit('close', code);
    });
    return child;
  };
}

const DISC = path.join(os.tmpdir(), 'disc');
const MENU = path.join(DISC, 'Quorlan.ini');
const WIN_DISC = 'C:\\discs\\demo';
const WIN_MENU = WIN_DISC + '\\Quorlan.ini';

const cases = [
  // [what, platform, menu (null: none open), open options, settings, run, files that exist,
  //  expected run (null: none), expected calls but progress ones]
  ['elsewhere: saved, quorlan-disc preview with a picture, opened beside',
   'linux', MENU, {dirty: true}, {}, {lines: ['/disc is drive E: (CD-ROM)'], picture: true}, [],
   {file: 'quorlan-disc', args: ['preview', DISC, '--picture', '(picture)'], cwd: DISC},
   [['save', MENU], ['withProgress', 'Quorlan: preview'],
    ['executeCommand', 'vscode.open', {scheme: 'file', fsPath: '(picture)'}, {viewColumn: -2, preserveFocus: true}]]],
  ['elsewhere: the setting\'s quorlan-disc; a display showed the window, no picture to open',
   'darwin', MENU, {}, {'quorlan.discToolPath': ' /opt/q/quorlan-disc '}, {}, [],
   {file: '/opt/q/quorlan-disc', args: ['preview', DISC, '--picture', '(picture)'], cwd: DISC},
   [['withProgress', 'Quorlan: preview']]],
  ['elsewhere: a failed preview says its last line',
   'linux', MENU, {}, {}, {lines: ['checking', 'quorlan-disc: the menu did not show: no Wine'], code: 2}, [],
   {file: 'quorlan-disc', args: ['preview', DISC, '--picture', '(picture)'], cwd: DISC},
   [['withProgress', 'Quorlan: preview'],
    ['showErrorMessage', 'quorlan-disc preview: quorlan-disc: the menu did not show: no Wine']]],
  ['elsewhere: no quorlan-disc', 'linux', MENU, {}, {}, {error: 'ENOENT'}, [],
   {file: 'quorlan-disc', args: ['preview', DISC, '--picture', '(picture)'], cwd: DISC},
   [['withProgress', 'Quorlan: preview'],
    ['showErrorMessage', 'quorlan-disc was not found. Set "quorlan.discToolPath", or put quorlan-disc on the PATH.']]],
  ['Windows: the quorlan.exe beside the menu, over the setting\'s', 'win32', WIN_MENU, {},
   {'quorlan.programPath': 'C:\\kit\\quorlan.exe'}, {}, [WIN_DISC + '\\quorlan.exe'],
   {file: WIN_DISC + '\\quorlan.exe', args: [], cwd: WIN_DISC},
   [['withProgress', `Quorlan: starting ${WIN_DISC}\\quorlan.exe`]]],
  ['Windows: none beside it, the setting\'s', 'win32', WIN_MENU, {}, {'quorlan.programPath': 'C:\\kit\\quorlan.exe'},
   {}, [], {file: 'C:\\kit\\quorlan.exe', args: [], cwd: WIN_DISC},
   [['withProgress', 'Quorlan: starting C:\\kit\\quorlan.exe']]],
  ['Windows: no program anywhere', 'win32', WIN_MENU, {}, {}, {}, [], null,
   [['showErrorMessage', 'There is no quorlan.exe beside the menu. Put the kit\'s quorlan.exe there, ' +
                         'or set "quorlan.programPath" to one.']]],
  ['no menu open', 'linux', null, {}, {}, {}, [], null, [['showErrorMessage', 'Open a Quorlan.ini to preview it.']]],
  ['another language\'s file', 'linux', MENU, {languageId: 'ini'}, {}, {}, [], null,
   [['showErrorMessage', 'Open a Quorlan.ini to preview it.']]],
  ['a save that fails previews nothing', 'linux', MENU, {dirty: true, saves: false}, {}, {}, [], null,
   [['save', MENU], ['showErrorMessage', 'The menu was not saved, so it was not previewed.']]],
];

for (const [what, platform, menu, open, settings, run, files, expectedRun, expectedCalls] of cases) {
  test(`the preview: ${what}`, async () => {
    reset(settings);
    if (menu) openMenu(menu, open);
    const runs = [];
    const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlan-preview-test-'));
    try {
      const exists = file => files.includes(file) || fs.existsSync(file);
      await previewMenu({platform, spawn: fakeSpawn(runs, run), exists, tmpdir: () => tmp});
      // The picture's name is the command's own: the run names it, and that one is opened.
      const picture = runs.length && runs[0].args[2] === '--picture' ? runs[0].args[3] : null;
      if (picture) assert.ok(picture.startsWith(tmp + path.sep), `${what}: the picture in a temporary folder`);
      const named = JSON.parse(JSON.stringify(state.calls.filter(call => call[0] !== 'progress'))
                                   .split(JSON.stringify(picture || '\u0000').slice(1, -1)).join('(picture)'));
      assert.deepStrictEqual(runs.map(r => ({...r, args: r.args.map(a => a === picture ? '(picture)' : a)})),
                             expectedRun ? [expectedRun] : [], what);
      assert.deepStrictEqual(named, expectedCalls, what);
      if (run.lines && run.lines.length && platform !== 'win32')
        assert.ok(state.calls.some(call => call[0] === 'progress' && call[1] === run.lines[run.lines.length - 1]),
                  `${what}: quorlan-disc's lines shown as progress`);
    } finally {
      removePictures();
      fs.rmSync(tmp, {recursive: true, force: true});
    }
  });
}
