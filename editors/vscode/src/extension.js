// The extension: Quorlan.ini files get the menu language, quorlan-check
// --lsp checks them as the author types, and "Quorlan: Preview the menu"
// shows one as its users will see it (preview.js).
'use strict';
const path = require('path');
const vscode = require('vscode');
const {LanguageClient} = require('vscode-languageclient/node');
const {findChecker, serverSettings} = require('./launch');
const {previewMenu, removePictures} = require('./preview');

const LANGUAGE = 'quorlan-menu';
let client = null;

function settings() {
  const config = vscode.workspace.getConfiguration('quorlan');
  return {config, server: serverSettings(name => config.get(name))};
}

// Yields the folder of an open menu, where the kit puts quorlan-check.exe.
function menuFolder() {
  const menu = vscode.workspace.textDocuments.find(d => d.languageId === LANGUAGE && d.uri.scheme === 'file');
  return menu ? path.dirname(menu.uri.fsPath) : null;
}

async function start() {
  const {config, server} = settings();
  const checker = findChecker({configured: config.get('checkerPath'), pathVariable: process.env.PATH,
                               platform: process.platform, menuFolder: menuFolder()});
  if (!checker) {
    vscode.window.showErrorMessage('quorlan-check was not found. Set "quorlan.checkerPath", put quorlan-check ' +
                                   'on the PATH, or on Windows keep the kit\'s quorlan-check.exe beside Quorlan.ini.');
    return;
  }
  const run = {command: checker, args: ['--lsp']};
  client = new LanguageClient('quorlan', 'Quorlan menu checker', {run, debug: run}, {
    documentSelector: [{language: LANGUAGE}],
    initializationOptions: server,
  });
  await client.start();
}

async function stop() {
  if (!client) return;
  const running = client;
  client = null;
  await running.stop();
}

async function activate(context) {
  context.subscriptions.push(vscode.commands.registerCommand('quorlan.preview', () => previewMenu()));
  context.subscriptions.push(vscode.workspace.onDidChangeConfiguration(async change => {
    if (!change.affectsConfiguration('quorlan')) return;
    if (change.affectsConfiguration('quorlan.checkerPath') || !client) {
      await stop();
      await start();
    } else {
      client.sendNotification('workspace/didChangeConfiguration', {settings: settings().server});
    }
  }));
  await start();
}

function deactivate() {
  removePictures();
  return stop();
}

module.exports = {activate, deactivate};
