// A stand-in for the vscode module, for Node's test runner: the few calls
// the extension's commands make, each recorded in `calls`, with the editor,
// the settings and the answers a test sets.
'use strict';
const Module = require('module');
const path = require('path');

const state = {activeTextEditor: null, settings: {}, calls: []};

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
  workspace: {getConfiguration: section => ({get: name => state.settings[`${section}.${name}`]})},
};

// require('vscode') anywhere yields the stand-in, under a name no file has.
const STAND_IN = path.join(__dirname, '(vscode)');
const resolve = Module._resolveFilename;
Module._resolveFilename = function (request, ...rest) {
  return request === 'vscode' ? STAND_IN : resolve.call(this, request, ...rest);
};
require.cache[STAND_IN] = {id: STAND_IN, filename: STAND_IN, loaded: true, exports: vscode};

// A menu open in the active editor.
function openMenu(fsPath, {dirty = false, saves = true, languageId = 'quorlan-menu'} = {}) {
  state.activeTextEditor = {
    document: {
      languageId, isDirty: dirty, uri: {scheme: 'file', fsPath},
      save: async () => { record('save', fsPath); return saves; },
    },
  };
}

function reset(settings = {}) {
  state.activeTextEditor = null;
  state.settings = settings;
  state.calls = [];
}

module.exports = {vscode, state, openMenu, reset};
