// Checks a menu with the checker that an unpacked .vsix carries, started as
// the extension starts it (by the extension's own src/launch.js, with no
// checker set, and this Node standing for the editor's), and prints the
// warnings that the server publishes for it, one a line:
// "LINE:CHARACTER [CODE] MESSAGE", counted from 1. Exits 0 once they came,
// 1 if the server ended or 30 s passed first.
//   node tools/carried-check.js EXTENSION-FOLDER MENU
'use strict';
const fs = require('fs');
const path = require('path');
const {pathToFileURL} = require('url');
const {startServer} = require('./lsp');

function main() {
  const [folder, menu] = process.argv.slice(2).map(p => path.resolve(p));
  const {checkerServer, serverSettings} = require(path.join(folder, 'src', 'launch.js'));
  const run = checkerServer({configured: '', platform: process.platform, extensionFolder: folder,
                             execPath: process.execPath, environment: process.env});
  const uri = pathToFileURL(menu).href;
  const give = (message, status) => {
    console.log(message);
    process.exit(status);
  };
  const {server, send} = startServer(run.command, run.args, run.options || {}, message => {
    if (message.id === 1) {
      send({method: 'initialized', params: {}});
      send({method: 'textDocument/didOpen', params: {textDocument: {
        uri, languageId: 'quorlan-menu', version: 1, text: fs.readFileSync(menu, 'utf8')}}});
    } else if (message.method === 'textDocument/publishDiagnostics' && message.params.uri === uri) {
      const lines = message.params.diagnostics.map(d => `${d.range.start.line + 1}:${d.range.start.character + 1} ` +
                                                        `[${d.code}] ${d.message}`);
      send({id: 2, method: 'shutdown'});
      send({method: 'exit'});
      give(lines.length ? lines.join('\n') : 'no warnings', 0);
    }
  });
  server.on('error', error => give(`${run.command}: ${error.message}`, 1));
  server.on('exit', status => give(`${run.command} ended (status ${status}) with no warnings published`, 1));
  setTimeout(() => give('no warnings published within 30 s', 1), 30000);
  send({id: 1, method: 'initialize', params: {processId: process.pid, rootUri: null, capabilities: {},
                                              initializationOptions: serverSettings(() => undefined)}});
}

main();
