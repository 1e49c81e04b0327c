// Prints the scopes the grammar gives each token of a menu: an aid for
// writing the annotated copies in test/grammar/ (lines starting with # are skipped).
//   node tools/show-scopes.js FILE
const fs = require('fs');
const vt = require('vscode-textmate');
const onig = require('vscode-oniguruma');
const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm')).buffer;
const lib = onig.loadWASM(wasm).then(() => ({createOnigScanner: p => new onig.OnigScanner(p), createOnigString: s => new onig.OnigString(s)}));
const reg = new vt.Registry({onigLib: lib, loadGrammar: async () => vt.parseRawGrammar(fs.readFileSync(require('path').join(__dirname, '..', 'syntaxes', 'quorlan-menu.tmLanguage.json'), 'utf8'), 'x.json')});
reg.loadGrammar('source.quorlan-menu').then(g => {
  let st = vt.INITIAL;
  for (const line of fs.readFileSync(process.argv[2], 'utf8').split(/\r?\n/)) {
    if (line.startsWith('#')) continue;
    const r = g.tokenizeLine(line, st); st = r.ruleStack;
    console.log(JSON.stringify(line));
    for (const t of r.tokens) console.log('  ', t.startIndex, JSON.stringify(line.slice(t.startIndex, t.endIndex)), t.scopes.slice(1).join(' ').replace(/\.quorlan-menu/g,''));
  }
});
