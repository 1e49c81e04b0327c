/*
 * Figures of the browser module: its size (raw and gzip -9, with its .wasm
 * beside it and as a single file), its start-up under Node, and a check of
 * a large menu against the native tool's. Prints figures; never fails on
 * them.
 *
 * usage: node bench_module.js QUORLAN-CHECK-WEB.JS SINGLE-FILE.JS NATIVE-QUORLAN-CHECK MENU|flat:N [RUNS]
 *
 * flat:N is a flat menu of N entries, made here, each written as authors
 * write them: indented, CR LF, a `%:` path and a quoted description.
 *
 * Start-up: a new Node process that loads the module and starts one
 * checker, against one that only starts (node -e 0), the median of RUNS.
 * The check: the menu (no disc, --no-files, so that only the checking is
 * timed) checked as --json, in one instance after a first check (the
 * code page's table made), against the native tool's own time for
 * --no-files --json, less its start on an empty menu; the median of RUNS.
 */
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const zlib = require('zlib');

const [modulePath, singlePath, native, menuPath, runsGiven] = process.argv.slice(2);
const RUNS = Number(runsGiven || 11);

function median(values) {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

function sizes(file) {
  const bytes = fs.readFileSync(file);
  return {raw: bytes.length, gzip: zlib.gzipSync(bytes, {level: 9}).length};
}

function kib(n) { return (n / 1024).toFixed(0) + ' KiB'; }

function timeProcess(command, args, input) {
  const start = process.hrtime.bigint();
  const done = childProcess.spawnSync(command, args, {input: input || '', maxBuffer: 1 << 30});
  if (done.status !== 0 && done.status !== 1) throw new Error(`${command} ${args.join(' ')}: exit ${done.status}`);
  return Number(process.hrtime.bigint() - start) / 1e6;
}

function makeFlatMenu(entries) {
  const lines = ['Benchmark Disc, size=640x480', '{'];
  for (let i = 1; i <= entries; i++) {
    const n = String(i).padStart(5, '0');
    lines.push(`  Program ${n}, %:\\programs\\program${n}.exe /quiet, 'Installs program ${n}, then starts it.',`);
  }
  lines.push('}', '');
  return Buffer.from(lines.join('\r\n'));
}

async function main() {
  const wasm = sizes(modulePath.replace(/\.js$/, '.wasm')), glue = sizes(modulePath), single = sizes(singlePath);
  console.log(`size: .wasm ${kib(wasm.raw)} raw, ${kib(wasm.gzip)} gzip -9; .js ${kib(glue.raw)} raw, ${kib(glue.gzip)} gzip -9`);
  console.log(`size: single file ${kib(single.raw)} raw, ${kib(single.gzip)} gzip -9`);

  const load = `require(${JSON.stringify(fs.realpathSync(modulePath))}).createQuorlanChecker().then(() => {})`;
  const bare = [], loaded = [];
  for (let i = 0; i < RUNS; i++) {
    bare.push(timeProcess('node', ['-e', '0']));
    loaded.push(timeProcess('node', ['-e', load]));
  }
  console.log(`start-up: node -e 0 ${median(bare).toFixed(0)} ms, with one checker started ${median(loaded).toFixed(0)} ms ` +
              `(+${(median(loaded) - median(bare)).toFixed(0)} ms)`);

  const flat = /^flat:(\d+)$/.exec(menuPath);
  const menu = flat ? makeFlatMenu(Number(flat[1])) : fs.readFileSync(menuPath);
  const {createQuorlanChecker} = require(fs.realpathSync(modulePath));
  const checker = await createQuorlanChecker();
  const options = {files: false};
  const first = checker.check(menu, options);
  const ours = [];
  for (let i = 0; i < RUNS; i++) {
    const start = process.hrtime.bigint();
    checker.check(menu, options);
    ours.push(Number(process.hrtime.bigint() - start) / 1e6);
  }
  const theirs = [], empty = [];
  for (let i = 0; i < RUNS; i++) {
    theirs.push(timeProcess(native, ['--no-files', '--json', '-'], menu));
    empty.push(timeProcess(native, ['--no-files', '--json', '-'], 'Empty\n{\n}\n'));
  }
  const nativeCheck = median(theirs) - median(empty);
  const same = childProcess.spawnSync(native, ['--no-files', '--json', '-'], {input: menu, maxBuffer: 1 << 30}).stdout.toString() === first.json;
  console.log(`check of ${menuPath} (${menu.length} bytes, ${first.report.items.length} items at the top): ` +
              `module ${median(ours).toFixed(0)} ms, native ${nativeCheck.toFixed(0)} ms ` +
              `(${median(theirs).toFixed(0)} ms less ${median(empty).toFixed(0)} ms to start), ` +
              `${(median(ours) / nativeCheck).toFixed(2)}x; the same report: ${same ? 'yes' : 'NO'}`);
  console.log(`memory after the checks: heap ${kib(checker.memory().heap)}, in use ${kib(checker.memory().inUse)}`);
}

main().catch((e) => {
  console.error(e && e.stack || e);
  process.exit(1);
});
