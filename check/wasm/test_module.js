/*
 * The browser module under Node: one instance serving many calls in a row
 * gives what a fresh instance gives, in bounded memory, and what the
 * native tool gives on the same menus.
 *
 * usage: node test_module.js QUORLAN-CHECK-WEB.JS SOURCE-FOLDER [NATIVE-QUORLAN-CHECK] [SINGLE-FILE.JS]
 *
 * - A thousand calls on one instance (every call of the API, over the test
 *   menus, two discs and several settings, in a shuffled order), each
 *   answer compared with a fresh instance's answer to the same call.
 * - The disc changing under the folder index: a menu checked against one
 *   disc, left long enough for its listings to be trusted, then against
 *   another, gives what a fresh instance gives for the other.
 * - Names a browser could not give as text: a file not found beside one
 *   may be that name, and is not called missing.
 * - The heap's size and the bytes in use, once each call was made once
 *   (each code page's table and each folder's listing made) and after the
 *   thousandth: they may not grow with the calls.
 * - With the native tool: --json, --fix, --fix=all and --format, with and
 *   without the fixes, and each code page for the menus beyond ASCII, on
 *   standard input in the menu's folder; the same bytes and exit status.
 *   And its language server: the same completions, and the same legend
 *   for the words.
 * - The menus' text decoded and encoded again: the same bytes.
 * - The example of docs/wasm.md, run.
 * - With the single-file build: the same answers as the other.
 * Prints each difference and a line of counts; exits 1 on a difference.
 */
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const path = require('path');

const [modulePath, source, native, singlePath] = process.argv.slice(2).map((a) => a && path.resolve(a));
const CALLS = 1000;
let failures = 0;

function fail(message) {
  failures++;
  if (failures <= 40) console.log('FAIL: ' + message);
}

// Every test menu, with its folder.
function findMenus() {
  const found = [];
  const cases = path.join(source, 'check/tests/cases');
  for (const name of fs.readdirSync(cases).sort()) if (name.endsWith('.ini')) found.push([cases, name]);
  const seeds = path.join(source, 'fuzz/corpus/menu');
  for (const name of fs.readdirSync(seeds).sort()) found.push([seeds, name]);
  found.push([path.join(source, 'examples'), 'Quorlan.ini'], [path.join(source, 'kit'), 'Quorlan.ini']);
  return found.map(([folder, name]) => ({folder, name, bytes: fs.readFileSync(path.join(folder, name))}));
}

// The names under a folder as the page gives them: paths from it, each
// folder's ending in '/'.
function listDisc(folder, prefix = '') {
  const names = [];
  for (const name of fs.readdirSync(path.join(folder, prefix)).sort()) {
    const inner = prefix + name;
    if (fs.statSync(path.join(folder, inner)).isDirectory()) names.push(inner + '/', ...listDisc(folder, inner + '/'));
    else names.push(inner);
  }
  return names;
}

function codePages() {
  const text = fs.readFileSync(path.join(source, 'check/text/codepages.h'), 'utf8');
  return [...text.matchAll(/^CODE_PAGE\((\d+),/gm)].map((m) => Number(m[1]));
}

// An answer as comparable text, its bytes as hex.
function shown(answer) {
  return JSON.stringify(answer, (key, value) => value instanceof Uint8Array ? Buffer.from(value).toString('hex')
                                                : ArrayBuffer.isView(value) ? Array.from(value) : value);
}

// Makes the call on the checker.
function callOn(checker, call) {
  const options = Object.assign({}, call.options);
  switch (call.op) {
  case 'complete': return checker.complete(call.menu, call.offset, options);
  case 'encode': return checker.encode(call.text, options);
  case 'launch': return checker.launch(call.text, options);
  default: return checker[call.op](call.menu, options);
  }
}

// The distinct calls of the test: each op on each menu, with one of two
// discs (the menu's folder, and a disc that lacks its files but has names
// near them), and other settings for some.
function makeCalls(menus) {
  const calls = [];
  const pages = codePages();
  menus.forEach((menu, m) => {
    const own = listDisc(menu.folder);
    // Beside the menu's folder: each file's name with a letter doubled, so
    // that missing files have a near name, and a folder of its own.
    const other = own.map((name) => name.endsWith('/') ? name : name.replace(/(\.[^./]*)$/, (ext) => ext[0] + ext[1] + ext.slice(1)))
      .concat(['Other/', 'Other/setup.exe']);
    const text = menu.bytes.toString('latin1');
    const comma = text.indexOf(',', text.indexOf('\n') + 1), exe = text.search(/\.exe/i);
    const options = (d) => {
      const given = {disc: [own, other][d]};
      if (m % 3 === 1) given.codePage = pages[(m + d) % pages.length];
      if (m % 4 === 2) given.drive = 'E';
      if (m % 5 === 3) given.files = false;
      return given;
    };
    const bytes = menu.bytes, d = m % 2;
    calls.push({op: 'check', menu: bytes, options: options(0)});
    calls.push({op: 'check', menu: bytes, options: options(1)});
    calls.push({op: 'check', menu: bytes, options: {disc: own, leftOut: ['missing-file', 'unknown-option']}});
    calls.push({op: 'fix', menu: bytes, options: Object.assign({all: d === 1}, options(d))});
    calls.push({op: 'format', menu: bytes, options: Object.assign({fix: ['safe', false][d]}, options(1 - d))});
    calls.push({op: 'complete', menu: bytes, offset: exe >= 0 ? exe + 1 : Math.max(comma, 0), options: options(d)});
    calls.push({op: 'outline', menu: bytes, options: Object.assign({at: Math.max(comma, 0)}, options(1 - d))});
    calls.push({op: 'words', menu: bytes, options: options(d)});
    calls.push({op: 'window', menu: bytes, options: Object.assign(d ? {width: 300 + m, height: 90 + m} : {}, options(d))});
    calls.push({op: 'decode', menu: bytes, options: options(d)});
    calls.push({op: 'encode', text: bytes.toString('utf8'),
                options: Object.assign({encoding: ['code-page', 'utf-8-marked'][d]}, options(d))});
    // A command box holding one of the menu's lines, as if typed there.
    calls.push({op: 'launch', text: bytes.toString('utf8').split('\n')[(m % 4) + 1] || '', options: options(d)});
  });
  return calls;
}

// A pseudo-random order, the same at each run.
function shuffle(count, length) {
  let seed = 12345;
  const order = [];
  for (let i = 0; i < count; i++) {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    order.push(seed % length);
  }
  return order;
}

function sleep(ms) { return new Promise((resolve) => setTimeout(resolve, ms)); }

async function testCalls(createQuorlanChecker, fresh, menus) {
  const calls = makeCalls(menus);
  const expected = [];
  for (const call of calls) expected.push(shown(callOn(await fresh(), call)));
  const checker = await createQuorlanChecker();
  // Each call once, in order, so that every code page's table and every
  // folder's listing is made; then the rest in a shuffled order.
  let afterWarmUp;
  const order = calls.map((call, i) => i).concat(shuffle(CALLS - calls.length, calls.length));
  order.forEach((which, i) => {
    const answer = shown(callOn(checker, calls[which]));
    if (answer !== expected[which]) {
      const call = calls[which];
      fail(`call ${i}, ${call.op} ${call.menu.length} bytes ${shown(call.options).slice(0, 120)}: ` +
           `${answer.slice(0, 300)} where a fresh instance gives ${expected[which].slice(0, 300)}`);
    }
    if (i === calls.length - 1) afterWarmUp = checker.memory();
  });
  const end = checker.memory();
  console.log(`memory after ${calls.length} calls: heap ${afterWarmUp.heap}, in use ${afterWarmUp.inUse}; ` +
              `after ${CALLS}: heap ${end.heap}, in use ${end.inUse}`);
  if (end.heap > afterWarmUp.heap) fail(`the heap grew from ${afterWarmUp.heap} to ${end.heap} bytes over the calls`);
  // The folder index keeps a folder's listing for a while after its last use.
  if (end.inUse > afterWarmUp.inUse + 64 * 1024)
    fail(`the bytes in use grew from ${afterWarmUp.inUse} to ${end.inUse} over the calls`);
  return {calls: CALLS, distinct: calls.length};
}

// A disc left long enough for the folder index to trust its listings, then
// another one: the menu is checked as a fresh instance checks it there.
async function testDiscChange(createQuorlanChecker) {
  const menu = 'Change\n{\n  Setup, setup.exe, the installer\n  Guide, docs\\guide.txt, to read\n}\n';
  const discA = ['setup.exe', 'docs/', 'docs/guide.txt'], discB = ['setupp.exe', 'docs/', 'docs/guidee.txt'];
  const checker = await createQuorlanChecker();
  const forA = shown(checker.check(menu, {disc: discA}));
  await sleep(2100);
  if (shown(checker.check(menu, {disc: discA})) !== forA) fail('disc A checked again gives another answer');
  const forB = shown(checker.check(menu, {disc: discB}));
  const freshB = shown((await createQuorlanChecker()).check(menu, {disc: discB}));
  if (forA === forB) fail('the two discs give the same answer: the disc change is not tested');
  if (forB !== freshB) fail(`disc B after disc A: ${forB} where a fresh instance gives ${freshB}`);
  const completed = shown(checker.complete(menu, menu.indexOf('docs') + 5, {disc: discB}));
  const freshCompleted = shown((await createQuorlanChecker()).complete(menu, menu.indexOf('docs') + 5, {disc: discB}));
  if (completed !== freshCompleted) fail(`completion on disc B after disc A: ${completed}, fresh ${freshCompleted}`);
}

// Names a browser could not give as text, one instance for every row in
// turn: a file not found beside one is "unlisted-file", with no fix, and
// never "missing-file"; a disc given after it is whole again. The names
// left out are those the page counts.
async function testUnheldNames(createQuorlanChecker) {
  const rows = [  // [the disc, the command, the code it gets, or null, the names left out]
    [['caf\uFFFD.exe'], 'cafe.exe', 'unlisted-file', 1],
    [['setupp.exe', 'caf\uFFFD.txt'], 'setup.exe', 'unlisted-file', 1],  // the close name is no fix
    [['docs/', 'docs/caf\uFFFD.txt', 'setup.exe'], 'setup.exe', null, 1],
    [['docs/', 'docs/caf\uFFFD.txt', 'setup.exe'], 'docs\\guide.txt', 'unlisted-file', 1],
    [['docs/', 'docs/caf\uFFFD.txt', 'setup.exe'], 'tools\\x.exe', 'missing-file', 1],
    [['b\uD800d/x.exe', 'b\uD800d/y.exe'], 'bad\\x.exe', 'unlisted-file', 2],  // half a pair, in a folder's name
    [['setup.exe', 'set\uDC00p.exe', '\uD83D\uDCC0.txt'], 'setup.exe', null, 1],  // a whole pair is a name
    [['x.exe'], 'cafe.exe', 'missing-file', 0],                             // the disc after: whole
  ];
  const checker = await createQuorlanChecker();
  for (const [disc, command, code, unread] of rows) {
    if (checker.unread(disc).length !== unread)
      fail(`${JSON.stringify(disc)}: ${JSON.stringify(checker.unread(disc))} left out, where ${unread} was due`);
    const {report} = checker.check(`Disc\n{\n  Entry, ${command}\n}\n`, {disc});
    const found = report.warnings.filter((w) => /-file$/.test(w.code));
    const what = `${JSON.stringify(disc)}, ${command}`;
    if (JSON.stringify(found.map((w) => w.code)) !== JSON.stringify(code ? [code] : []))
      fail(`${what}: ${JSON.stringify(found)} where ${code || 'nothing'} was due`);
    if (code === 'unlisted-file' && found.some((w) => w.fix)) fail(`${what}: a fix offered for an unlisted file`);
  }
}

// The native tool on standard input in the menu's folder.
function runNative(args, menu) {
  const done = childProcess.spawnSync(native, args.concat(['-']), {cwd: menu.folder, input: menu.bytes, maxBuffer: 1 << 30});
  return {status: done.status, out: done.stdout, err: done.stderr};
}

function fixedLines(fixed) {
  return fixed.map((w) => `<stdin>:${w.line}:${w.column}: fixed: ${w.title} [${w.code}]\n`).join('');
}

function same(what, menu, native, ours) {
  if (Buffer.compare(Buffer.from(native), Buffer.from(ours)) !== 0)
    fail(`${path.basename(menu.folder)}/${menu.name} ${what}: native ${JSON.stringify(Buffer.from(native).toString().slice(0, 200))}, ` +
         `module ${JSON.stringify(Buffer.from(ours).toString().slice(0, 200))}`);
}

async function testNative(createQuorlanChecker, menus) {
  const checker = await createQuorlanChecker();
  const pages = codePages();
  let runs = 0;
  for (const menu of menus) {
    const plain = menu.bytes.every((b) => b < 0x80);
    const disc = listDisc(menu.folder);
    // Each setting with the runs made under it: every run under the
    // defaults, fewer under the others.
    const settings = [[[], {}, 'all'], [['--no-files'], {files: false}, 'fix'], [['--drive', 'E'], {drive: 'E'}, 'json']];
    if (!plain) for (const page of pages) settings.push([['--codepage', String(page)], {codePage: page}, 'fix']);
    for (const [args, given, runsUnder] of settings) {
      const options = Object.assign({disc}, given);
      const said = ' ' + args.join(' ');
      const checked = checker.check(menu.bytes, options);
      let n = runNative(args.concat(['--json']), menu);
      same('--json' + said, menu, n.out, Buffer.from(checked.json));
      same('--json exit' + said, menu, [n.status], [checked.status]);
      runs++;
      // Each entry's command given as a command box's text: what the
      // shell gets is what the tool says it gets for that entry.
      const commands = [];
      const walk = (items) => items.forEach((item) => {
        if (item.record && !item.record.command.includes('\uFFFD')) commands.push(item.record);
        walk(item.children);
      });
      if (n.status !== 2) walk(JSON.parse(n.out).items);
      for (const record of commands)
        same('launch of ' + JSON.stringify(record.command) + said, menu, Buffer.from(shown(record.launch)),
             Buffer.from(shown(checker.launch(record.command, options))));
      if (runsUnder === 'json') continue;
      for (const all of runsUnder === 'all' ? [false, true] : [true]) {
        const fixed = checker.fix(menu.bytes, Object.assign({all}, options));
        const flag = all ? '--fix=all' : '--fix';
        n = runNative(args.concat([flag, '--json']), menu);
        same(flag + said, menu, n.out, fixed.bytes);
        same(flag + ' report' + said, menu, n.err, Buffer.from(fixedLines(fixed.fixed) + fixed.json));
        same(flag + ' exit' + said, menu, [n.status], [fixed.status]);
        runs++;
      }
      if (runsUnder !== 'all') continue;
      for (const fix of [false, 'safe', 'all']) {
        const formatted = checker.format(menu.bytes, Object.assign({fix}, options));
        const flag = fix === 'all' ? ['--fix=all'] : fix === 'safe' ? ['--fix'] : [];
        n = runNative(args.concat(['--format'], flag), menu);
        const err = formatted.problem
          ? `quorlan-check: <stdin>:${formatted.problem.line}:${formatted.problem.column}: not formatted: ${formatted.problem.message}\n`
          : fixedLines(formatted.fixed);
        const what = ['--format'].concat(flag).join(' ');
        same(what + said, menu, n.out, formatted.bytes || []);
        same(what + ' errors' + said, menu, n.err, Buffer.from(err));
        same(what + ' exit' + said, menu, [n.status], [formatted.status]);
        runs++;
      }
    }
  }
  return runs;
}

// The menus' text, as decode gives it, written back in the same encoding
// by encode: the same bytes, where each byte was read as a character the
// encoding holds; each unit's byte within the menu, in order.
async function testText(createQuorlanChecker, menus) {
  const checker = await createQuorlanChecker();
  let count = 0;
  for (const menu of menus)
    for (const codePage of [1252, 1251, 1253]) {
      const options = {codePage}, decoded = checker.decode(menu.bytes, options);
      const {starts, text} = decoded, marked = decoded.encoding === 'utf-8-marked';
      const ordered = starts.every((at, i) => i === 0 ? at === (marked ? 3 : 0) : at >= starts[i - 1]);
      if (starts.length !== text.length + 1 || !ordered || starts[text.length] !== menu.bytes.length)
        fail(`${menu.name} decoded in ${codePage}: the units' bytes are out of order`);
      const encoded = checker.encode(text, Object.assign({encoding: decoded.encoding}, options));
      if (!text.includes('\uFFFD') && !encoded.unheld.length) {
        same(`decoded in ${codePage} and encoded again`, menu, menu.bytes, encoded.bytes);
        count++;
      }
    }
  return count;
}

// The API's example in the documentation runs as it stands.
async function testExample(createQuorlanChecker) {
  const page = fs.readFileSync(path.join(source, 'docs/wasm.md'), 'utf8');
  const example = /```js\n([^]*?)```/.exec(page);
  if (!example) return fail('docs/wasm.md shows no example in JavaScript');
  const AsyncFunction = Object.getPrototypeOf(async () => {}).constructor;
  try {
    await new AsyncFunction('createQuorlanChecker', example[1])(createQuorlanChecker);
  } catch (e) {
    fail(`the example in docs/wasm.md fails: ${e && e.stack || e}`);
  }
}

// The native language server, for what the module gives as it does.
function startServer() {
  const server = childProcess.spawn(native, ['--lsp']);
  let input = Buffer.alloc(0), id = 0;
  const waiting = new Map();
  server.stdout.on('data', (data) => {
    input = Buffer.concat([input, data]);
    for (;;) {
      const head = input.indexOf('\r\n\r\n');
      if (head < 0) return;
      const length = Number(/Content-Length: (\d+)/i.exec(input.subarray(0, head).toString())[1]);
      if (input.length < head + 4 + length) return;
      const message = JSON.parse(input.subarray(head + 4, head + 4 + length).toString());
      input = input.subarray(head + 4 + length);
      if (waiting.has(message.id)) {
        waiting.get(message.id)(message.result);
        waiting.delete(message.id);
      }
    }
  });
  const send = (message) => {
    const text = JSON.stringify(Object.assign({jsonrpc: '2.0'}, message));
    server.stdin.write(`Content-Length: ${Buffer.byteLength(text)}\r\n\r\n${text}`);
  };
  return {
    notify: (method, params) => send({method, params}),
    ask: (method, params) => new Promise((resolve) => {
      waiting.set(++id, resolve);
      send({id, method, params});
    }),
    stop: () => server.kill(),
  };
}

// Completion and the words' legend as the server gives them, on the test
// menus in ASCII (where the server's characters are the bytes), at each
// command's file part and after each comma of the header.
async function testServer(createQuorlanChecker, menus) {
  const checker = await createQuorlanChecker();
  const server = startServer();
  let asked = 0;
  const started = await server.ask('initialize', {processId: null, rootUri: null, capabilities: {}});
  server.notify('initialized', {});
  const legend = started.capabilities.semanticTokensProvider.legend;
  const words = checker.words('', {});
  if (shown(words.legend) !== shown({types: legend.tokenTypes, modifiers: legend.tokenModifiers}))
    fail(`the words' legend ${shown(words.legend)} is not the server's ${shown(legend)}`);
  for (const menu of menus.filter((m) => m.folder.endsWith('cases') && m.bytes.every((b) => b < 0x80))) {
    const text = menu.bytes.toString('latin1'), uri = 'file://' + path.join(menu.folder, menu.name);
    const disc = listDisc(menu.folder);
    server.notify('textDocument/didOpen', {textDocument: {uri, languageId: 'quorlan', version: 1, text}});
    const places = checker.words(menu.bytes, {disc}).commands.map((c) => c.fileEnd);
    for (let at = text.indexOf(','); at >= 0 && at < text.indexOf('{'); at = text.indexOf(',', at + 1)) places.push(at + 1);
    for (const offset of places) {
      const line = text.slice(0, offset).split(/\r\n|\n|\r/).length - 1;
      const character = offset - Math.max(text.lastIndexOf('\n', offset - 1), text.lastIndexOf('\r', offset - 1)) - 1;
      const theirs = await server.ask('textDocument/completion', {textDocument: {uri}, position: {line, character}});
      const ours = checker.complete(menu.bytes, offset, {disc});
      const start = ours.start - Math.max(text.lastIndexOf('\n', ours.start - 1), text.lastIndexOf('\r', ours.start - 1)) - 1;
      const a = theirs.items.map((i) => [i.label, i.kind, i.textEdit.newText, i.documentation.value, !!i.command,
                                         i.textEdit.range.start.character]);
      const b = ours.items.map((i) => [i.label, i.kind, i.newText, i.documentation, i.folder, start]);
      if (shown(a) !== shown(b) || theirs.isIncomplete !== ours.incomplete)
        fail(`${menu.name} completion at ${offset}: the server gives ${shown(a).slice(0, 300)}, the module ${shown(b).slice(0, 300)}`);
      asked++;
    }
  }
  server.stop();
  return asked;
}

// The single-file build answers as the other does.
async function testSingleFile(createQuorlanChecker, menus) {
  const single = await require(singlePath).createQuorlanChecker();
  const checker = await createQuorlanChecker();
  const calls = makeCalls(menus.slice(0, 6));
  for (const call of calls)
    if (shown(callOn(single, call)) !== shown(callOn(checker, call))) fail(`single file: ${call.op} differs`);
  return calls.length;
}

async function main() {
  const {createQuorlanChecker} = require(modulePath);
  // Fresh instances from one compiled module, as a page would make them.
  const compiled = new WebAssembly.Module(fs.readFileSync(modulePath.replace(/\.js$/, '.wasm')));
  const fresh = () => createQuorlanChecker({
    instantiateWasm: (imports, receive) => {
      const instance = new WebAssembly.Instance(compiled, imports);
      receive(instance, compiled);
      return instance.exports;
    },
  });
  if (native && !fs.existsSync(native)) {
    console.log(`FAIL: no native tool at ${native}: build the native preset's quorlan-check first`);
    process.exit(1);
  }
  const menus = findMenus();
  const counts = await testCalls(createQuorlanChecker, fresh, menus);
  await testDiscChange(fresh);
  await testUnheldNames(fresh);
  const roundTrips = await testText(createQuorlanChecker, menus);
  await testExample(createQuorlanChecker);
  const nativeRuns = native ? await testNative(createQuorlanChecker, menus) : 0;
  const completions = native ? await testServer(createQuorlanChecker, menus) : 0;
  const singleCalls = singlePath ? await testSingleFile(createQuorlanChecker, menus) : 0;
  console.log(`test_module: ${counts.calls} calls on one instance (${counts.distinct} distinct), ` +
              `${roundTrips} menus decoded and encoded again, ` +
              `${nativeRuns} runs against the native tool, ${completions} completions against its server, ` +
              `${singleCalls} calls on the single file; ${failures} differ`);
  process.exit(failures ? 1 : 0);
}

main().catch((e) => {
  console.log('FAIL: ' + (e && e.stack || e));
  process.exit(1);
});
