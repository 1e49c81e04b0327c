// "Quorlan: Preview the menu": the menu saved, then shown as the disc's
// users will see it. On Windows the real program starts in the menu's
// folder; elsewhere quorlan-disc preview shows it under Wine, as a window
// where there is a display, else as a picture opened beside the menu.
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const vscode = require('vscode');

const LANGUAGE = 'quorlan-menu';
const PROGRAM = 'quorlan.exe';

// The pictures of this session, in a folder of their own removed at the end.
let pictureFolder = null;
let pictures = 0;

// Yields the program to start on Windows, or null: the quorlan.exe beside
// the menu, as on the disc, else the setting's.
function findProgram(menuFolder, configured, exists) {
  const beside = path.win32.join(menuFolder, PROGRAM);
  if (exists(beside)) return beside;
  const setting = typeof configured === 'string' ? configured.trim() : '';
  return setting || null;
}

// Yields the quorlan-disc to run: the setting's, else the one on the PATH.
function findDiscTool(configured) {
  const setting = typeof configured === 'string' ? configured.trim() : '';
  return setting || 'quorlan-disc';
}

// The last line a run wrote, for its failure's message.
function lastLine(text) {
  const lines = text.split(/\r?\n/).map(line => line.trim()).filter(Boolean);
  return lines.length ? lines[lines.length - 1] : '';
}

// Runs quorlan-disc preview on the folder with --picture; each line it
// prints goes to report. Yields {code, output, error}: error when it could
// not start at all.
function runDiscPreview(spawn, tool, folder, picture, report, token) {
  return new Promise(resolve => {
    let output = '';
    let settled = false;
    const done = result => {
      if (!settled) resolve(result);
      settled = true;
    };
    const child = spawn(tool, ['preview', folder, '--picture', picture], {cwd: folder});
    const take = chunk => {
      const text = chunk.toString();
      output += text;
      const line = lastLine(text);
      if (line) report(line);
    };
    child.stdout.on('data', take);
    child.stderr.on('data', take);
    child.on('error', error => done({code: -1, output, error}));
    child.on('close', code => done({code, output, error: null}));
    if (token) token.onCancellationRequested(() => child.kill());
  });
}

// The menu the command previews: the active editor's, when it is a menu on disc.
function activeMenu() {
  const editor = vscode.window.activeTextEditor;
  const document = editor && editor.document;
  if (!document || document.languageId !== LANGUAGE || document.uri.scheme !== 'file') return null;
  return document;
}

async function previewOnWindows(folder, config, deps) {
  const program = findProgram(folder, config.get('programPath'), deps.exists);
  if (!program) {
    vscode.window.showErrorMessage(`There is no ${PROGRAM} beside the menu. Put the kit's ${PROGRAM} there, ` +
                                   'or set "quorlan.programPath" to one.');
    return;
  }
  await vscode.window.withProgress(
    {location: vscode.ProgressLocation.Notification, title: `Quorlan: starting ${program}`},
    () => new Promise(resolve => {
      // The program reads Quorlan.ini from the folder it starts in, as from the disc's root.
      const child = deps.spawn(program, [], {cwd: folder, detached: true, stdio: 'ignore'});
      child.on('error', error => {
        vscode.window.showErrorMessage(`${program} did not start: ${error.message}`);
        resolve();
      });
      child.on('spawn', () => {
        child.unref();
        resolve();
      });
    }));
}

async function previewElsewhere(folder, config, deps) {
  const tool = findDiscTool(config.get('discToolPath'));
  if (!pictureFolder) pictureFolder = fs.mkdtempSync(path.join(deps.tmpdir(), 'quorlan-preview-'));
  // A new name each time: an editor keeps showing the picture it opened under a name.
  const picture = path.join(pictureFolder, `menu-${++pictures}.png`);
  const result = await vscode.window.withProgress(
    {location: vscode.ProgressLocation.Notification, title: 'Quorlan: preview', cancellable: true},
    (progress, token) => {
      // The first preview makes quorlan-disc's Wine prefix, which takes a while.
      progress.report({message: 'starting Wine (the first time, its prefix is made: about 20 s)'});
      return runDiscPreview(deps.spawn, tool, folder, picture, message => progress.report({message}), token);
    });
  if (result.error) {
    const why = result.error.code === 'ENOENT' ? 'was not found' : `did not start: ${result.error.message}`;
    vscode.window.showErrorMessage(`${tool} ${why}. Set "quorlan.discToolPath", or put quorlan-disc on the PATH.`);
  } else if (result.code !== 0) {
    vscode.window.showErrorMessage(`quorlan-disc preview: ${lastLine(result.output) || 'exit ' + result.code}`);
  } else if (deps.exists(picture)) {
    await vscode.commands.executeCommand('vscode.open', vscode.Uri.file(picture),
                                         {viewColumn: vscode.ViewColumn.Beside, preserveFocus: true});
  }
  // Else the window was shown on the display, and has been closed.
}

// The command itself; deps stand in for the machine in the tests.
async function previewMenu(deps = {}) {
  deps = {platform: process.platform, spawn: childProcess.spawn, exists: fs.existsSync, tmpdir: os.tmpdir, ...deps};
  const document = activeMenu();
  if (!document) {
    vscode.window.showErrorMessage('Open a Quorlan.ini to preview it.');
    return;
  }
  // The program reads the file, not the editor: what is shown is what is saved.
  if (document.isDirty && !(await document.save())) {
    vscode.window.showErrorMessage('The menu was not saved, so it was not previewed.');
    return;
  }
  const folder = (deps.platform === 'win32' ? path.win32 : path.posix).dirname(document.uri.fsPath);
  const config = vscode.workspace.getConfiguration('quorlan');
  if (deps.platform === 'win32') await previewOnWindows(folder, config, deps);
  else await previewElsewhere(folder, config, deps);
}

function removePictures() {
  if (pictureFolder) fs.rmSync(pictureFolder, {recursive: true, force: true});
  pictureFolder = null;
}

module.exports = {previewMenu, removePictures, findProgram, findDiscTool};
