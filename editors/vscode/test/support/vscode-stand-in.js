// A stand-in for the vscode module, for Node's test runner: the few calls
// the extension's commands make, each recorded in `calls`, with the editor,
// the settings and the answers a test sets; and one for the language
// client, whose servers are the programs a test lists, or programs it
// really starts.
'use strict';
const Module = require('module');
const path = require('path');
const {startServer} = require('../../tools/lsp');

const state = {activeTextEditor: null, settings: {}, calls: [], servers: [], silent: [], programs: [], clients: [],
               settingsListeners: []};

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
// that is not running, one whose start failed among them. A command in
// `programs` it starts as the library starts an executable, with the
// arguments and options (the environment among them) it was given, and
// speaks the protocol with over the program's standard streams: running
// once the program answered initialize.
class LanguageClient {
  constructor(id, name, serverOptions, clientOptions = {}) {
    this.run = serverOptions.run;
    this.command = serverOptions.run.command;
    this.initializationOptions = clientOptions.initializationOptions;
    this.state = 'initial';
    state.clients.push(this);
  }

  async start() {
    record('start', this.command);
    this.state = 'starting';
    await new Promise(setImmediate);
    if (state.silent.includes(this.command)) await new Promise(() => {});
    if (state.programs.includes(this.command)) return this.startProgram();
    if (!state.servers.includes(this.command)) {
      this.state = 'startFailed';
      throw new Error(`${this.command}: couldn't create connection to server`);
    }
    this.state = 'running';
  }

  async startProgram() {
    const {command, args = [], options = {}} = this.run;
    this.answers = new Map();  // request id -> its answer's resolve
    this.published = [];  // the diagnostics published, and who waits for them
    this.nextId = 1;
    const {server, send} = startServer(command, args, options, message => this.receive(message));
    this.send = send;
    this.ended = new Promise(resolve => {
      server.on('exit', status => resolve(status));
      server.on('error', error => resolve(error.message));
    });
    const answer = await Promise.race([this.request('initialize', {
      processId: process.pid, rootUri: null, capabilities: {}, initializationOptions: this.initializationOptions}),
                                       this.ended.then(() => null)]);
    if (!answer || !answer.result) {
      this.state = 'startFailed';
      throw new Error(`${command}: couldn't create connection to server`);
    }
    this.serverInfo = answer.result.serverInfo;
    this.send({method: 'initialized', params: {}});
    this.state = 'running';
  }

  receive(message) {
    if (message.id !== undefined && this.answers.has(message.id)) {
      this.answers.get(message.id)(message);
      this.answers.delete(message.id);
    } else if (message.method === 'textDocument/publishDiagnostics') {
      for (const waiting of this.published.splice(0)) waiting(message.params);
    }
  }

  request(method, params) {
    const id = this.nextId++;
    const answered = new Promise(resolve => this.answers.set(id, resolve));
    this.send({id, method, params});
    return answered;
  }

  sendNotification(method, params) {
    if (this.send) this.send({method, params});
  }

  // Opens a document, as the library does for one the selector takes, and
  // yields the diagnostics the server first publishes for it.
  async openDocument(uri, text) {
    const published = new Promise(resolve => this.published.push(params => params.uri === uri && resolve(params)));
    this.send({method: 'textDocument/didOpen', params: {textDocument: {uri, languageId: 'quorlan-menu', version: 1,
                                                                       text}}});
    return (await published).diagnostics;
  }

  async stop() {
    if (this.state !== 'running')
      throw new Error(`Client is not running and can't be stopped. It's current state is: ${this.state}`);
    record('stop', this.command);
    this.state = 'stopped';
    if (!this.send) return;
    await this.request('shutdown');
    this.send({method: 'exit'});
    this.exitStatus = await this.ended;
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

function reset(settings = {}, servers = [], silent = [], programs = []) {
  state.activeTextEditor = null;
  state.settings = settings;
  state.calls = [];
  state.servers = servers;
  state.silent = silent;
  state.programs = programs;
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
