// How the extension starts the checker: which quorlan-check it runs, and
// the settings it hands the server. No VS Code API here, so that Node's own
// test runner can load it.
'use strict';
const fs = require('fs');
const path = require('path');

const DEFAULTS = {codePage: 1252, drive: 'D', checkFiles: true, ignore: []};

// Yields whether PATH names a file that can be run (on Windows, that exists).
function isProgram(file, platform) {
  try {
    if (!fs.statSync(file).isFile()) return false;
    if (platform !== 'win32') fs.accessSync(file, fs.constants.X_OK);
    return true;
  } catch (e) {
    return false;
  }
}

// Yields the checker to run, or null: the setting's path when one is set;
// else quorlan-check on the PATH; else, on Windows only, the quorlan-check.exe
// in the menu's own folder, where the unpacked kit puts it.
function findChecker({configured, pathVariable, platform, menuFolder, isRunnable = isProgram}) {
  const setting = typeof configured === 'string' ? configured.trim() : '';
  if (setting) return setting;
  const windows = platform === 'win32';
  const name = windows ? 'quorlan-check.exe' : 'quorlan-check';
  const separator = windows ? ';' : ':';
  const join = windows ? path.win32.join : path.posix.join;
  for (const folder of (pathVariable || '').split(separator)) {
    // An empty entry, or one in quotes (Windows allows them), is taken as written.
    const dir = folder.replace(/^"(.*)"$/, '$1');
    if (!dir) continue;
    const candidate = join(dir, name);
    if (isRunnable(candidate, platform)) return candidate;
  }
  if (windows && menuFolder) {
    const beside = path.win32.join(menuFolder, name);
    if (isRunnable(beside, platform)) return beside;
  }
  return null;
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

module.exports = {findChecker, serverSettings};
