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
 * - The heap's size and the bytes in use, once each call was made once
 *   (each code page's table and each folder's listing made) and after the
 *   thousandth: they may not grow with the calls.
 * - With the native tool: --json, --fix, --fix=all and --format, with and
 *   without the fixes, and each code page for the menus beyond ASCII, on
 *   standard input in the menu's folder; the same bytes and exit status.
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
  return JSON.stringify(answer, (key, value) => value instanceof Uint8Array ? Buffer.from(value).toString('hex') : value);
}

// Makes the call on the checker.
function callOn(checker, call) {
  const options = Object.assign({}, call.options);
  switch (call.op) {
  case 'complete': return checker.complete(call.menu, call.offset, options);
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
    const other = own.map((name) => name.endsWith('/') ? name : name.replace(/(\.[^./]*)$/, (ext) => ext[0] + ext[1] + ext))
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

// The native tool on standard input in the menu's folder.
function runNative(args, menu) {
  const done = childProcess.spawnSync(native, args.concat(['-']), {cwd: menu.folder, input: menu.bytes});
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

// The code pages whose text this build's conversions hold: a menu in
// ASCII, and one in UTF-8 after the mark, read back as written.
async function findHeldCodePages(createQuorlanChecker) {
  const checker = await createQuorlanChecker();
  return codePages().filter((page) => ['Held\n{\n}\n', '\uFEFFHeld\n{\n}\n'].every((menu) =>
    checker.check(menu, {codePage: page}).report.caption === 'Held'));
}

async function testNative(createQuorlanChecker, menus) {
  const checker = await createQuorlanChecker();
  const pages = codePages(), held = await findHeldCodePages(createQuorlanChecker);
  for (const page of pages)
    if (!held.includes(page)) console.log(`SKIP: code page ${page}: this build's conversions do not hold it`);
  let runs = 0;
  for (const menu of menus) {
    const plain = menu.bytes.every((b) => b < 0x80);
    const disc = listDisc(menu.folder);
    // Each setting with the runs made under it: every run under the
    // defaults, fewer under the others.
    const settings = [[[], {}, 'all'], [['--no-files'], {files: false}, 'fix'], [['--drive', 'E'], {drive: 'E'}, 'json']];
    if (!plain) for (const page of held) settings.push([['--codepage', String(page)], {codePage: page}, 'fix']);
    for (const [args, given, runsUnder] of settings) {
      const options = Object.assign({disc}, given);
      const said = ' ' + args.join(' ');
      const checked = checker.check(menu.bytes, options);
      let n = runNative(args.concat(['--json']), menu);
      same('--json' + said, menu, n.out, Buffer.from(checked.json));
      same('--json exit' + said, menu, [n.status], [checked.status]);
      runs++;
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
  const nativeRuns = native ? await testNative(createQuorlanChecker, menus) : 0;
  const singleCalls = singlePath ? await testSingleFile(createQuorlanChecker, menus) : 0;
  console.log(`test_module: ${counts.calls} calls on one instance (${counts.distinct} distinct), ` +
              `${nativeRuns} runs against the native tool, ${singleCalls} calls on the single file; ${failures} differ`);
  process.exit(failures ? 1 : 0);
}

main().catch((e) => {
  console.log('FAIL: ' + (e && e.stack || e));
  process.exit(1);
});
