// The checker's server as the author changes the settings, against the
// stand-ins for vscode and the language client: which servers start and
// stop, and which one runs after the changes and after deactivation.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const {state, reset, changeSettings, loseServers, settle} = require('./support/vscode-stand-in');
const {activate, deactivate} = require('../src/extension');

const SERVER = '/opt/q/quorlan-check';
const OTHER_SERVER = '/usr/local/bin/quorlan-check';
const NO_SERVER = '/nowhere/quorlan-check';
const SILENT_SERVER = '/usr/bin/cat';
const LOST = 'the server exits and does not come back';
const EXTENSION = '/home/a/.vscode/extensions/quorlan.quorlan-menu-1.2.0';
// The checker the extension carries, as this system runs it.
const CARRIED = process.platform === 'win32' ? `${EXTENSION}\\bin\\quorlan-check.exe` : process.execPath;

const cases = [
  // [what, quorlan.checkerPath when the window opens, changes (settings, or
  //  LOST; those of one inner list at once), expected calls, the server running after them]
  ['a wrong path when the window opens, then a right one: the server starts', NO_SERVER,
   [[{'quorlan.checkerPath': SERVER}]],
   [['start', NO_SERVER], ['start', SERVER]], [SERVER]],
  ['a right path set wrong, then right again: the server comes back', SERVER,
   [[{'quorlan.checkerPath': NO_SERVER}], [{'quorlan.checkerPath': SERVER}]],
   [['start', SERVER], ['stop', SERVER], ['start', NO_SERVER], ['start', SERVER]], [SERVER]],
  ['the path set twice at once: the earlier change\'s server stopped once started, one runs, on the last path',
   SERVER,
   [[{'quorlan.checkerPath': OTHER_SERVER}, {'quorlan.checkerPath': SERVER}]],
   [['start', SERVER], ['stop', SERVER], ['start', SERVER], ['start', SERVER], ['stop', SERVER]], [SERVER]],
  ['a program that never answers, then a right path: the server starts', SERVER,
   [[{'quorlan.checkerPath': SILENT_SERVER}], [{'quorlan.checkerPath': SERVER}]],
   [['start', SERVER], ['stop', SERVER], ['start', SILENT_SERVER], ['start', SERVER]], [SERVER]],
  ['no path set, then one, then none again: the carried checker, the path\'s, the carried one', '',
   [[{'quorlan.checkerPath': SERVER}], [{'quorlan.checkerPath': ''}]],
   [['start', CARRIED], ['stop', CARRIED], ['start', SERVER], ['stop', SERVER], ['start', CARRIED]], [CARRIED]],
  ['the server lost, then another setting changed: a new server starts', SERVER,
   [[LOST], [{'quorlan.codePage': 1251}]],
   [['start', SERVER],
    ['appendLine', 'Quorlan menu checker: not stopped: Client is not running and can\'t be stopped. ' +
                   'It\'s current state is: startFailed'],
    ['start', SERVER]], [SERVER]],
];

for (const [what, opening, changes, expectedCalls, expectedRunning] of cases) {
  test(`the checker's server: ${what}`, async () => {
    reset({'quorlan.checkerPath': opening}, [SERVER, OTHER_SERVER, CARRIED], [SILENT_SERVER]);
    const context = {subscriptions: [], extensionPath: EXTENSION};
    await activate(context);
    for (const together of changes) {
      for (const change of together) change === LOST ? loseServers() : changeSettings(change);
      await settle();
    }
    const running = () => state.clients.filter(client => client.state === 'running').map(client => client.command);
    assert.deepStrictEqual(running(), expectedRunning, what);
    await deactivate();
    assert.deepStrictEqual(state.calls, [...expectedCalls, ...expectedRunning.map(command => ['stop', command])], what);
    assert.deepStrictEqual(running(), [], `${what}: none after deactivation`);
  });
}

// The checker the extension carries for every system but Windows, the
// WebAssembly build, which the wasm configuration gives in
// QUORLAN_CARRIED_CHECK (its .wasm beside it), started by the extension's
// own code through the client as the library starts a program. The editor's
// program is a stand-in that, as the editor does, runs a script with Node
// only where ELECTRON_RUN_AS_NODE is 1, and else would open its window.
const CARRIED_CHECK = process.env.QUORLAN_CARRIED_CHECK;
const SLIP = 'Demo disc\n{\n  Read me, readme.txt\n  Setup, setup.exe\n}\n';  // no comma after readme.txt

test('the carried WebAssembly checker, run by the editor\'s program as Node, checks a menu', {
  skip: process.platform === 'win32' ? 'Windows runs the carried .exe'
        : !CARRIED_CHECK && 'no QUORLAN_CARRIED_CHECK: the wasm configuration gives the carried checker',
}, async () => {
  const fs = require('fs');
  const os = require('os');
  const path = require('path');
  const {pathToFileURL} = require('url');
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlan-carried-'));
  const editorProgram = process.execPath;
  try {
    const extension = path.join(work, 'extension');
    fs.mkdirSync(path.join(extension, 'bin'), {recursive: true});
    for (const name of ['quorlan-check.js', 'quorlan-check.wasm'])
      fs.copyFileSync(path.join(path.dirname(CARRIED_CHECK), name), path.join(extension, 'bin', name));
    const editor = path.join(work, 'code');
    fs.writeFileSync(editor, '#!/bin/sh\n[ "$ELECTRON_RUN_AS_NODE" = 1 ] || ' +
                             '{ echo "ELECTRON_RUN_AS_NODE is not 1: the editor opens its window" >&2; exit 64; }\n' +
                             `exec '${editorProgram}' "$@"\n`, {mode: 0o755});
    const disc = path.join(work, 'disc');
    fs.mkdirSync(disc);
    for (const name of ['readme.txt', 'setup.exe']) fs.writeFileSync(path.join(disc, name), '');
    process.execPath = editor;
    reset({'quorlan.checkerPath': ''}, [], [], [editor]);
    await activate({subscriptions: [], extensionPath: extension});
    const [client] = state.clients;
    assert.deepStrictEqual([client.state, client.serverInfo && client.serverInfo.name], ['running', 'quorlan-check']);
    const diagnostics = await client.openDocument(pathToFileURL(path.join(disc, 'Quorlan.ini')).href, SLIP);
    assert.deepStrictEqual(diagnostics.map(d => [d.range.start.line + 1, d.range.start.character + 1, d.code]),
                           [[3, 22, 'missing-comma']]);
    await deactivate();
    assert.deepStrictEqual([state.calls, client.exitStatus], [[['start', editor], ['stop', editor]], 0]);
  } finally {
    process.execPath = editorProgram;
    fs.rmSync(work, {recursive: true, force: true});
  }
});
