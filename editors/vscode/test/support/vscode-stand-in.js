// A stand-in for the vscode module, for Node's test runner: the few calls
// the extension's commands make, each recorded in `calls`, with the editor,
// the settings and the answers a test sets; and one for the language
// client, whose servers are the programs a test lists.
'use strict';
const Module = require('module');
const path = require('path');

const state = {activeTextEditor: null, settings: {}, calls: [], servers: [], silent: [], clients: [], settingsListeners: []};

function record(name, ...args) {
  state.calls.push([name, ...args]);
}

const vscode = {
  ProgressLocation: {Notification: 15},
  ViewColumn: {Beside: -2},
  Uri: {file: fsPath => ({scheme: 'file', fsPath})},
  window: {
    get activeTextEditor() { return state.activeTextEditor; },
    showErrorMessage: message => record('showErrorMessage', message),
    createOutputChannel: name => ({name, appendLine: line => record('appendLine', line), dispose() {}}),
    withProgress: (options, task) => {
      record('withProgress', options.title);
      const progress = {report: value => record('progress', value.message)};
      return task(progress, {onCancellationRequested: () => {}});
    },
  },
  commands: {
    executeCommand: async (...args) => record('executeCommand', ...args),
    registerCommand: (name, callback) => ({name, callback, dispose() {}}),
  },
  workspace: {
    textDocuments: [],
    getConfiguration: section => ({get: name => state.settings[`${section}.${name}`]}),
    onDidChangeConfiguration: listener => {
      state.settingsListeners.push(listener);
      return {dispose() {}};
    },
  },
};

// vscode-languageclient's LanguageClient as version 9 behaves: its start
// fails where the command is no server (not in `servers`), never ends where
// the server never answers (in `silent`), and it refuses to stop a client
// that is not running, one whose start failed among them.
class LanguageClient {
  constructor(id, name, serverOptions) {
    this.command = serverOptions.run.command;
    this.state = 'initial';
    state.clients.push(this);
  }

  async start() {
    record('start', this.command);
    this.state = 'starting';
    await new Promise(setImmediate);
    if (state.silent.includes(this.command)) await new Promise(() => {});
    if (!state.servers.includes(this.command)) {
      this.state = 'startFailed';
      throw new Error(`${this.command}: couldn't create connection to server`);
    }
    this.state = 'running';
  }

  async stop() {
    if (this.state !== 'running')
      throw new Error(`Client is not running and can't be stopped. It's current state is: ${this.state}`);
    record('stop', this.command);
    this.state = 'stopped';
  }

  isRunning() {
    return this.state === 'running';
  }
}

// require('vscode') and require('vscode-languageclient/node') anywhere yield
// the stand-ins, under names no file has.
const STAND_INS = {
  'vscode': vscode,
  'vscode-languageclient/node': {LanguageClient},
};
const resolve = Module._resolveFilename;
Module._resolveFilename = function (request, ...rest) {
  return request in STAND_INS ? path.join(__dirname, `(${request})`) : resolve.call(this, request, ...rest);
};
for (const [request, exports] of Object.entries(STAND_INS)) {
  const name = path.join(__dirname, `(${request})`);
  require.cache[name] = {id: name, filename: name, loaded: true, exports};
}

// A menu open in the active editor.
function openMenu(fsPath, {dirty = false, saves = true, languageId = 'quorlan-menu'} = {}) {
  state.activeTextEditor = {
    document: {
      languageId, isDirty: dirty, uri: {scheme: 'file', fsPath},
      save: async () => { record('save', fsPath); return saves; },
    },
  };
}

function reset(settings = {}, servers = [], silent = []) {
  state.activeTextEditor = null;
  state.settings = settings;
  state.calls = [];
  state.servers = servers;
  state.silent = silent;
  state.clients = [];
  state.settingsListeners = [];
}

// Ends every running server, and its start again fails, as the library
// leaves a client whose server exited and did not come back.
function loseServers() {
  for (const client of state.clients) if (client.state === 'running') client.state = 'startFailed';
}

// Sets the settings and tells the extension, as VS Code does when the author
// changes them, without waiting for the listeners (whose work may never end).
function changeSettings(changed) {
  Object.assign(state.settings, changed);
  const change = {affectsConfiguration: section => Object.keys(changed).some(
    name => name === section || name.startsWith(section + '.'))};
  for (const listener of state.settingsListeners) listener(change);
}

// Yields once the extension's work that can end has ended: each start and
// stop of the stand-in client takes at most one turn of the event loop.
async function settle() {
  for (let turn = 0; turn < 10; turn++) await new Promise(setImmediate);
}

module.exports = {vscode, state, openMenu, reset, changeSettings, loseServers, settle};
