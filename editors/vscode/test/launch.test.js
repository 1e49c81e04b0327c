// Which checker the extension runs, and the settings it gives the server.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const {checkerServer, serverSettings} = require('../src/launch');

test('the checker: the setting, else the carried one, the .exe on Windows, elsewhere the .js in the editor', () => {
  const LINUX_FOLDER = '/home/a/.vscode/extensions/quorlan.quorlan-menu-1.2.0';
  const WINDOWS_FOLDER = 'C:\\Users\\a\\.vscode\\extensions\\quorlan.quorlan-menu-1.2.0';
  const CARRIED_JS = `${LINUX_FOLDER}/bin/quorlan-check.js`;
  const EDITOR_PROGRAM = '/usr/share/code/code';
  const EDITOR = {PATH: '/usr/bin', HOME: '/home/a'};
  const withNode = {...EDITOR, ELECTRON_RUN_AS_NODE: '1'};
  const cases = [
    // [what, platform, quorlan.checkerPath, the editor's environment, expected]
    ['the setting wins', 'linux', ' /usr/bin/quorlan-check ', EDITOR,
     {command: '/usr/bin/quorlan-check', args: ['--lsp']}],
    ['the setting wins on Windows too', 'win32', 'C:\\Tools\\quorlan-check.exe', EDITOR,
     {command: 'C:\\Tools\\quorlan-check.exe', args: ['--lsp']}],
    ['Windows: the carried .exe', 'win32', '', EDITOR,
     {command: `${WINDOWS_FOLDER}\\bin\\quorlan-check.exe`, args: ['--lsp']}],
    ['Linux: the carried .js, run by the editor as Node, in the editor\'s environment', 'linux', undefined, EDITOR,
     {command: EDITOR_PROGRAM, args: [CARRIED_JS, '--lsp'], options: {env: withNode}}],
    ['macOS, a setting of white space only: the carried .js', 'darwin', '  ', {...EDITOR, ELECTRON_RUN_AS_NODE: ''},
     {command: EDITOR_PROGRAM, args: [CARRIED_JS, '--lsp'], options: {env: withNode}}],
  ];
  for (const [what, platform, configured, environment, expected] of cases) {
    const extensionFolder = platform === 'win32' ? WINDOWS_FOLDER : LINUX_FOLDER;
    const given = {...environment};
    const server = checkerServer({configured, platform, extensionFolder, execPath: EDITOR_PROGRAM, environment});
    assert.deepStrictEqual(server, expected, what);
    assert.deepStrictEqual(environment, given, `${what}: the editor's own environment unchanged`);
  }
});

test('the server\'s settings: each value of the wrong kind gives way to its default', () => {
  const cases = [
    [{}, {codePage: 1252, drive: 'D', checkFiles: true, ignore: []}],
    [{codePage: 1251, drive: 'e', checkFiles: false, ignore: ['option-case']},
     {codePage: 1251, drive: 'E', checkFiles: false, ignore: ['option-case']}],
    [{codePage: '1251', drive: 'EF', checkFiles: 'no', ignore: 'option-case'},
     {codePage: 1252, drive: 'D', checkFiles: true, ignore: []}],
    [{codePage: 65001, drive: ' x ', checkFiles: true, ignore: ['a', 1]},
     {codePage: 65001, drive: 'X', checkFiles: true, ignore: ['a']}],
    [{codePage: -1, drive: '1'}, {codePage: 1252, drive: 'D', checkFiles: true, ignore: []}],
  ];
  for (const [given, expected] of cases) {
    assert.deepStrictEqual(serverSettings(name => given[name]), {quorlan: expected}, JSON.stringify(given));
  }
});
