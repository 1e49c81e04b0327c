// How the extension starts the checker: which quorlan-check it runs and
// how, and the settings it hands the server. No VS Code API here, so that
// Node's own test runner can load it.
'use strict';
const path = require('path');

const DEFAULTS = {codePage: 1252, drive: 'D', checkFiles: true, ignore: []};

// Yields how to start the checker's server, {command, args, options} as the
// language client takes them: the program the setting names, when one is
// set; else the checker the extension carries in its bin/ folder, so that
// nothing else needs installing. On Windows (any processor, as 64-bit and
// Arm Windows run 32-bit programs) that is quorlan-check.exe; elsewhere the
// WebAssembly build, quorlan-check.js, run by the editor's own Node: its
// program (execPath), which is Node itself while ELECTRON_RUN_AS_NODE is set.
// The rest of the environment is the editor's, since the language client
// hands the program only what it is given.
function checkerServer({configured, platform, extensionFolder, execPath, environment}) {
  const setting = typeof configured === 'string' ? configured.trim() : '';
  if (setting) return {command: setting, args: ['--lsp']};
  if (platform === 'win32') {
    return {command: path.win32.join(extensionFolder, 'bin', 'quorlan-check.exe'), args: ['--lsp']};
  }
  return {command: execPath, args: [path.posix.join(extensionFolder, 'bin', 'quorlan-check.js'), '--lsp'],
          options: {env: {...environment, ELECTRON_RUN_AS_NODE: '1'}}};
}

// Yields the server's settings, {quorlan: {codePage, drive, checkFiles, ignore}},
// from the extension's: each value of the wrong kind gives way to its default.
function serverSettings(get) {
  const codePage = get('codePage');
  const drive = get('drive');
  const checkFiles = get('checkFiles');
  const ignore = get('ignore');
  return {
    quorlan: {
      codePage: Number.isInteger(codePage) && codePage > 0 ? codePage : DEFAULTS.codePage,
      drive: typeof drive === 'string' && /^[A-Za-z]$/.test(drive.trim()) ? drive.trim().toUpperCase()
                                                                          : DEFAULTS.drive,
      checkFiles: typeof checkFiles === 'boolean' ? checkFiles : DEFAULTS.checkFiles,
      ignore: Array.isArray(ignore) ? ignore.filter(code => typeof code === 'string') : DEFAULTS.ignore,
    },
  };
}

module.exports = {checkerServer, serverSettings};
