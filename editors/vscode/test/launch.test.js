// Which checker the extension runs, and the settings it gives the server.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const {findChecker, serverSettings} = require('../src/launch');

test('the checker: the setting, then the PATH, then on Windows the menu\'s folder', () => {
  const cases = [
    // [what, arguments, files that can be run, expected]
    ['the setting wins', {configured: ' /opt/q/quorlan-check ', pathVariable: '/usr/bin', platform: 'linux'},
     ['/usr/bin/quorlan-check'], '/opt/q/quorlan-check'],
    ['the first folder of the PATH that has it', {configured: '', pathVariable: '/a::/usr/bin:/b', platform: 'linux'},
     ['/usr/bin/quorlan-check', '/b/quorlan-check'], '/usr/bin/quorlan-check'],
    ['none on the PATH: none, even beside the menu, off Windows',
     {configured: '', pathVariable: '/usr/bin', platform: 'linux', menuFolder: '/disc'},
     ['/disc/quorlan-check', '/disc/quorlan-check.exe'], null],
    ['Windows: the .exe on the PATH, quoted folders too',
     {configured: undefined, pathVariable: 'C:\\Windows;"C:\\Tools\\Q"', platform: 'win32', menuFolder: 'D:\\'},
     ['C:\\Tools\\Q\\quorlan-check.exe', 'D:\\quorlan-check.exe'], 'C:\\Tools\\Q\\quorlan-check.exe'],
    ['Windows: the kit\'s quorlan-check.exe beside the menu',
     {configured: '', pathVariable: 'C:\\Windows', platform: 'win32', menuFolder: 'C:\\discs\\demo'},
     ['C:\\discs\\demo\\quorlan-check.exe'], 'C:\\discs\\demo\\quorlan-check.exe'],
    ['Windows: nowhere', {configured: '', pathVariable: '', platform: 'win32', menuFolder: null}, [], null],
  ];
  for (const [what, args, runnable, expected] of cases) {
    assert.strictEqual(findChecker({...args, isRunnable: file => runnable.includes(file)}), expected, what);
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
