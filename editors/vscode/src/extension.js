// The extension: Quorlan.ini files get the menu language, quorlan-check
// --lsp checks them as the author types, and "Quorlan: Preview the menu"
// shows one as its users will see it (preview.js).
'use strict';
const vscode = require('vscode');
const {LanguageClient} = require('vscode-languageclient/node');
const {checkerServer, serverSettings} = require('./launch');
const {previewMenu, removePictures} = require('./preview');

const LANGUAGE = 'quorlan-menu';
const NAME = 'Quorlan menu checker';
let client = null;  // the client whose server runs, or null
let latest = 0;  // the latest restart's number: an earlier one's client is stopped once it starts
let outputChannel = null;  // every client's, so that a failed one leaves none behind
let extensionFolder = null;  // where the carried checkers are, in bin/

function settings() {
  const config = vscode.workspace.getConfiguration('quorlan');
  return {config, server: serverSettings(name => config.get(name))};
}

// Yields a started client on the checker that the settings name, or on the
// one the extension carries, or null. When its start fails (no such
// program, or one that is no language server), the library has said why in
// the output channel, and can neither stop that client nor start it again:
// it is let go, and the next change of a setting starts a new one.
async function start() {
  const {config, server} = settings();
  const run = checkerServer({configured: config.get('checkerPath'), platform: process.platform, extensionFolder,
                             execPath: process.execPath, environment: process.env});
  const starting = new LanguageClient('quorlan', NAME, {run, debug: run}, {
    documentSelector: [{language: LANGUAGE}],
    initializationOptions: server,
    outputChannel,
  });
  try {
    await starting.start();
  } catch {
    return null;
  }
  return starting;
}

// Stops a client. The library refuses to stop one that is not running (its
// server gone and not back): that one has nothing to stop.
async function stopClient(stopping) {
  try {
    await stopping.stop();
  } catch (error) {
    outputChannel.appendLine(`${NAME}: not stopped: ${error.message}`);
  }
}

async function stop() {
  if (!client) return;
  const running = client;
  client = null;
  await stopClient(running);
}

// Stops the client and starts one with the settings as they are now. Each
// change restarts at once, without waiting for a start before it, which may
// never end (a program that never answers); a client whose restart a later
// one overtook is stopped once started, so that one server runs, on the
// latest settings.
async function restart() {
  const number = ++latest;
  await stop();
  const started = await start();
  if (!started) return;
  if (number !== latest) return stopClient(started);
  client = started;
}

async function activate(context) {
  extensionFolder = context.extensionPath;
  outputChannel = vscode.window.createOutputChannel(NAME);
  context.subscriptions.push(outputChannel);
  context.subscriptions.push(vscode.commands.registerCommand('quorlan.preview', () => previewMenu()));
  context.subscriptions.push(vscode.workspace.onDidChangeConfiguration(async change => {
    if (!change.affectsConfiguration('quorlan')) return;
    if (change.affectsConfiguration('quorlan.checkerPath') || !client || !client.isRunning()) {
      await restart();
    } else {
      client.sendNotification('workspace/didChangeConfiguration', {settings: settings().server});
    }
  }));
  await restart();
}

function deactivate() {
  removePictures();
  latest++;
  return stop();
}

module.exports = {activate, deactivate};
