// The server's semantic tokens against the grammar, on the grammar's own
// test menus (test/grammar/*.test.ini, their # lines left out): each
// character of each token must have, as the grammar's innermost scope, the
// scope that docs/editors.md's table gives the token's type and modifiers,
// except at the places listed below, where the grammar is wrong.
//   node tools/compare-tokens.js QUORLAN-CHECK
const fs = require('fs');
const path = require('path');
const {startServer} = require('./lsp');
const vt = require('vscode-textmate');
const onig = require('vscode-oniguruma');

// Where the grammar reads otherwise than the program: file, line (0-based,
// # lines left out), first character, and why.
const GRAMMAR_WRONG = [
  // "Save 50%%%, today": the grammar ends the entry at the name's `%%%,`,
  // so that ", a%%%,b.txt" is its command and "5" its description...
  ['percent-comma (not a grammar test)', 2, 33, 'the description taken for a command'],
  // ... and ends it again at the command's `%%%,`: "b.txt" and "off" start entries.
  ['percent-comma (not a grammar test)', 2, 26, 'the rest of a command taken for a name'],
  ['percent-comma (not a grammar test)', 2, 39, 'the rest of a description taken for a name'],
];

// Besides the grammar's test menus, one where it ends the entry at `%%%,`
// in a name and in a command (in a description it is right).
const MORE_MENUS = {'percent-comma (not a grammar test)': 'Disc\n{\n  Save 50%%%, today, a%%%,b.txt, 5%%%, off\n}\n'};

// The table: a token's scope by its modifiers first, then its type.
function wantedScope(type, modifiers) {
  if (modifiers.includes('modification')) return /^constant\.character\.escape\./;
  if (type === 'macro') return /^variable\.language\.drive\./;
  if (modifiers.includes('readonly')) return type === 'operator' ? /^punctuation\./ : /^string\.quoted\.single\./;
  return {
    namespace: /^entity\.name\.section\.title\./, keyword: /^keyword\.other\.option\./,
    number: /^constant\.numeric\./, property: /^entity\.name\.function\.entry\./,
    function: /^string\.unquoted\.command\./, parameter: /^string\.unquoted\.command\./,
    string: /^string\.unquoted\.description\./, operator: /^(punctuation\.|keyword\.operator\.)/,
    comment: /^(source\.|meta\.)/,
  }[type];
}

async function loadGrammar() {
  const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm')).buffer;
  const onigLib = onig.loadWASM(wasm).then(() => ({
    createOnigScanner: p => new onig.OnigScanner(p), createOnigString: s => new onig.OnigString(s)}));
  const file = path.join(__dirname, '..', 'syntaxes', 'quorlan-menu.tmLanguage.json');
  const registry = new vt.Registry({onigLib, loadGrammar: async () => vt.parseRawGrammar(fs.readFileSync(file, 'utf8'), file)});
  return registry.loadGrammar('source.quorlan-menu');
}

// Each character's innermost scope that is not meta.*, line by line.
function grammarScopes(grammar, lines) {
  let stack = vt.INITIAL;
  return lines.map(line => {
    const result = grammar.tokenizeLine(line, stack);
    stack = result.ruleStack;
    const scopes = [];
    for (const token of result.tokens) {
      const inner = token.scopes.filter(s => !s.startsWith('meta.')).pop();
      for (let i = token.startIndex; i < token.endIndex; i++) scopes[i] = inner;
    }
    return scopes;
  });
}

// The server's tokens for the text: [line, character, length, type, modifiers].
function serverTokens(tool, file, text) {
  return new Promise((resolve, reject) => {
    let legend = null;
    const {server, send} = startServer(tool, ['--lsp'], {}, message => {
      if (message.id === 1) {
        legend = message.result.capabilities.semanticTokensProvider.legend;
        send({method: 'initialized', params: {}});
        send({method: 'textDocument/didOpen', params: {textDocument: {
          uri: 'file://' + file, languageId: 'quorlan-menu', version: 1, text}}});
        send({id: 2, method: 'textDocument/semanticTokens/full', params: {textDocument: {uri: 'file://' + file}}});
      } else if (message.id === 2) {
        send({id: 3, method: 'shutdown'});
        send({method: 'exit'});
        const data = message.result.data, tokens = [];
        let line = 0, character = 0;
        for (let i = 0; i < data.length; i += 5) {
          if (data[i]) character = 0;
          line += data[i];
          character += data[i + 1];
          tokens.push([line, character, data[i + 2], legend.tokenTypes[data[i + 3]],
                       legend.tokenModifiers.filter((_, bit) => data[i + 4] & (1 << bit))]);
        }
        resolve(tokens);
      }
    });
    server.on('error', reject);
    send({id: 1, method: 'initialize', params: {processId: null, rootUri: null, capabilities: {},
                                                initializationOptions: {quorlan: {checkFiles: false}}}});
  });
}

async function main() {
  const tool = path.resolve(process.argv[2]);
  const grammar = await loadGrammar();
  const folder = path.join(__dirname, '..', 'test', 'grammar');
  const temp = fs.mkdtempSync(path.join(require('os').tmpdir(), 'tokens-'));
  const place = w => w.slice(0, 3).join(':');
  const unused = new Set(GRAMMAR_WRONG.map(place));
  let failed = 0, compared = 0, right = 0;
  const menus = {};
  for (const name of fs.readdirSync(folder).filter(n => n.endsWith('.test.ini')).sort())
    menus[name] = fs.readFileSync(path.join(folder, name), 'utf8');
  Object.assign(menus, MORE_MENUS);
  for (const name of Object.keys(menus)) {
    const lines = menus[name].split(/\r?\n/).filter(l => !l.startsWith('#'));
    const text = lines.join('\n');
    const file = path.join(temp, 'Quorlan.ini');
    fs.writeFileSync(file, text);
    const scopes = grammarScopes(grammar, lines);
    for (const [line, character, length, type, modifiers] of await serverTokens(tool, file, text)) {
      compared++;
      const wrong = GRAMMAR_WRONG.find(w => w[0] === name && w[1] === line && w[2] === character);
      const wanted = wantedScope(type, modifiers);
      const bad = [];
      for (let i = character; i < character + length; i++)
        if (!wanted.test(scopes[line][i] || 'source.')) bad.push(`${i}: ${scopes[line][i]}`);
      if (wrong) {
        unused.delete(place(wrong));
        if (!bad.length) right++;
        if (!bad.length) console.log(`the grammar is right now at ${place(wrong)}: take it out of the list`);
        continue;
      }
      if (bad.length) {
        failed++;
        console.log(`${name}:${line}:${character}: ${type} [${modifiers}] "${lines[line].substr(character, length)}"` +
                    `, the grammar: ${bad.join(', ')}`);
      }
    }
  }
  for (const place of unused) console.log(`no token at ${place}`);
  fs.rmSync(temp, {recursive: true});
  console.log(`${compared} tokens compared with the grammar: ${failed} differ`);
  process.exit(failed || unused.size || right ? 1 : 0);
}

main().catch(error => { console.log(error); process.exit(1); });
