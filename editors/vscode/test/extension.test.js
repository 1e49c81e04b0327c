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
