/*
 * The checker's page in Debian's chromium, headless, driven by
 * puppeteer-core, opened from its file: address with default settings.
 *
 *   node test_page.js INDEX.HTML SOURCE-FOLDER NATIVE-QUORLAN-CHECK OUT-FOLDER [--picture PNG]
 *
 * - The README's tour menu, typed in, shows its two warnings where the
 *   native tool puts them; the comma's fix from its warning, then Fix all,
 *   leave what --fix=all writes.
 * - Format on the example menu with its unquoted lines indented carelessly,
 *   saved, gives the example back, byte for byte (encoding, line ends).
 * - A folder with a missing file and a near name, given to the page:
 *   completion lists the folder's files, and the warning offers the near name.
 * - The drawn tree is the native tool's --json items for each test menu.
 * - Selecting an entry (the tree's arrow keys) fills the frame, with the
 *   mnemonic rule, and the boxes; the command box edited, Run says what the
 *   native tool says the shell gets for that command.
 * - The link round-trips the page; a menu too long for a link says so;
 *   a broken link, or one that unpacks to 20 MB, opens the page as none does.
 * - No request leaves the page.
 * A picture of the page is kept in OUT-FOLDER (and at PNG, for docs/).
 * Prints each failure and a closing count; exits 1 on a failure.
 */
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const zlib = require('zlib');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const args = process.argv.slice(2);
const pictureAt = args.indexOf('--picture');
const picture = pictureAt >= 0 ? path.resolve(args.splice(pictureAt, 2)[1]) : null;
const [pagePath, source, native, out] = args.map((a) => path.resolve(a));
const pageUrl = 'file://' + pagePath;
const TOUR = 'My First Disc, Sorted\n{\n  Read Me, readme.txt, What is on this disc\n  Guide, guide.txt, How to use it\n}\n';

let passed = 0, failed = 0;
function check(ok, what, detail) {
  if (ok) passed++;
  else {
    failed++;
    console.log(`FAIL: ${what}${detail ? ': ' + detail : ''}`);
  }
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The native tool on the bytes, in the folder (an empty one by default).
function runNative(options, bytes, folder) {
  const done = childProcess.spawnSync(native, options.concat(['-']), {cwd: folder || out, input: bytes});
  return {status: done.status, out: done.stdout.toString('utf8'), bytes: done.stdout};
}

// Waits until the page's check of its newest text is shown.
async function settled(page) {
  await sleep(60);
  await page.waitForFunction(() => window.quorlanShown && !window.quorlanShown().busy, {timeout: 10000, polling: 20})
    .catch(async (e) => {
      throw new Error(`the page's check never ended (${await page.$eval('#settings-problem', (p) => p.textContent)}): ${e.message}`);
    });
  return page.evaluate(() => window.quorlanShown());
}

async function openPage(browser, url) {
  const page = await browser.newPage();
  await page.setViewport({width: 1280, height: 760});
  page.on('pageerror', (e) => check(false, 'no error on the page', e.message));
  page.on('console', (m) => { if (m.type() === 'error') console.log('the page says: ' + m.text()); });
  page.on('request', (request) => {
    const url = request.url();
    check(url === pageUrl || /^(blob|data):/.test(url) || url.startsWith(pageUrl + '#'), 'no request leaves the page', url);
  });
  await page.goto(url || pageUrl);
  await page.waitForFunction(() => performance.getEntriesByName('quorlan-first-check').length > 0, {timeout: 15000});
  return page;
}

async function typeMenu(page, text) {
  await page.click('.cm-content');
  await press(page, 'Control', 'a');
  await page.keyboard.press('Delete');
  await page.keyboard.type(text);
  return settled(page);
}

async function openMenuFile(page, file) {
  const input = await page.$('#open-input');
  await input.uploadFile(file);
  await page.waitForFunction((name) => document.getElementById('file-state').textContent.startsWith(name + ':'),
                             {timeout: 5000}, path.basename(file));
  return settled(page);
}

// The warnings' places as the editor has them: line and byte column for ASCII text.
function placesOf(text, shown) {
  return shown.diagnostics.map((d) => {
    const before = text.slice(0, d.from).split('\n');
    return `${d.code}@${before.length}:${before[before.length - 1].length + 1}`;
  }).sort();
}

async function press(page, ...keys) {
  for (const key of keys) await page.keyboard.down(key);
  for (const key of keys.reverse()) await page.keyboard.up(key);
}

// The editor's list of warnings, each with its fixes.
async function openLintPanel(page) {
  await page.click('#warnings');
  await page.waitForSelector('.cm-panel-lint li', {timeout: 5000});
}

async function testTour(page) {
  const shown = await typeMenu(page, TOUR);
  check(shown.text === TOUR, 'the tour menu typed in is the text', JSON.stringify(shown.text));
  const report = JSON.parse(runNative(['--json', '--no-files'], TOUR).out);
  const expected = report.warnings.map((w) => `${w.code}@${w.line}:${w.column}`).sort();
  check(expected.length === 2, 'the tour menu has two warnings natively', expected.join(' '));
  check(JSON.stringify(placesOf(TOUR, shown)) === JSON.stringify(expected), 'the tour\'s warnings at their places',
        placesOf(TOUR, shown).join(' ') + ' against ' + expected.join(' '));
  // The comma's fix, from its warning's actions in the lint panel.
  await openLintPanel(page);
  const clicked = await page.evaluate(() => {
    const item = [...document.querySelectorAll('.cm-panel-lint li')].find((li) => li.textContent.includes('missing-comma'));
    const button = item && item.querySelector('.cm-diagnosticAction');
    if (button) button.dispatchEvent(new MouseEvent('mousedown', {bubbles: true}));
    if (button) button.click();
    return !!button;
  });
  check(clicked, 'the comma\'s warning offers its fix');
  let after = await settled(page);
  await page.click('#fix-all');
  await page.waitForFunction(() => document.getElementById('mend-state').textContent !== '', {timeout: 5000});
  after = await settled(page);
  const fixed = runNative(['--fix=all'], TOUR).out;
  check(after.text === fixed, 'the comma\'s fix and Fix all leave what --fix=all writes',
        JSON.stringify(after.text) + ' against ' + JSON.stringify(fixed));
  check(after.diagnostics.length === 0, 'no warning after the fixes', JSON.stringify(after.diagnostics));
}

async function testFormat(page, checker) {
  const example = fs.readFileSync(path.join(source, 'examples/Quorlan.ini'));
  // Each line after the header that starts outside quotes, indented carelessly.
  const {quotes, levels} = checker.outline(example, {});
  const text = example.toString('latin1');
  let careless = '', n = 0;
  for (let at = 0; at < text.length;) {
    const end = text.indexOf('\n', at) + 1 || text.length;
    const line = text.slice(at, end);
    const quoted = quotes.some(([from, to]) => at > from && at < to);
    careless += at >= levels[0][0] && !quoted ? ' '.repeat((n++ * 5) % 9) + line.replace(/^[ \t]+/, '') : line;
    at = end;
  }
  check(careless !== text, 'the careless copy differs from the example');
  const file = path.join(out, 'careless', 'Quorlan.ini');
  fs.mkdirSync(path.dirname(file), {recursive: true});
  fs.writeFileSync(file, careless, 'latin1');
  await openMenuFile(page, file);
  await page.click('#format');
  await page.waitForFunction(() => document.getElementById('mend-state').textContent.startsWith('Formatted'), {timeout: 5000});
  await settled(page);
  const saved = await saveMenu(page);
  check(saved && Buffer.compare(saved, example) === 0, 'Format gives the example back, byte for byte',
        saved && JSON.stringify(saved.toString('latin1').slice(0, 300)));
}

// Saves the page's menu: a download, read from the download folder.
async function saveMenu(page) {
  const folder = fs.mkdtempSync(path.join(out, 'saved-'));
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: folder});
  await page.click('#save');
  const file = path.join(folder, 'Quorlan.ini');
  for (let i = 0; i < 100 && !fs.existsSync(file); i++) await sleep(50);
  await sleep(100);
  return fs.existsSync(file) ? fs.readFileSync(file) : null;
}

async function testDisc(page) {
  const disc = path.join(out, 'disc');
  fs.mkdirSync(path.join(disc, 'docs'), {recursive: true});
  // A name with U+FFFD is one the page takes for a name the browser could not read.
  for (const name of ['setup.exe', 'readme.txt', 'docs/manual.pdf', 'docs/caf\uFFFD.txt']) fs.writeFileSync(path.join(disc, name), 'content never read');
  const menu = 'Demo Disc\n{\n  Setup, setupp.exe, Installs it\n  Read Me, \n}\n';
  const shownBefore = await typeMenu(page, menu);
  check(/not checked/.test(await page.$eval('#disc-state', (e) => e.textContent)), 'with no folder, a line says files are not checked');
  check(!shownBefore.diagnostics.some((d) => d.code === 'missing-file'), 'with no folder, no missing file');
  const input = await page.$('#disc-input');
  await input.uploadFile(disc);
  await page.waitForFunction(() => /^Disc:/.test(document.getElementById('disc-state').textContent), {timeout: 5000});
  const counted = await page.waitForFunction(() => / 1 name the browser could not read/.test(document.getElementById('disc-state').textContent),
                                             {timeout: 5000}).then(() => true, () => false);
  check(counted, 'the disc line counts the name the checker leaves out', await page.$eval('#disc-state', (e) => e.textContent));
  const shown = await settled(page);
  const missing = shown.diagnostics.find((d) => d.code === 'missing-file');
  check(missing, 'the missing file is a warning once the folder is given', JSON.stringify(shown.diagnostics));
  await openLintPanel(page);
  const actions = await page.evaluate(() => {
    return [...document.querySelectorAll('.cm-panel-lint li')].filter((li) => li.textContent.includes('missing-file'))
      .map((li) => [...li.querySelectorAll('.cm-diagnosticAction')].map((b) => b.textContent).join('|'));
  });
  check(actions.some((a) => a.includes('setup.exe')), 'the missing file\'s warning offers the near name', JSON.stringify(actions));
  // Completion at the start of the missing file's command.
  await page.click('.cm-content');
  await press(page, 'Control', 'Home');
  for (const key of ['ArrowDown', 'ArrowDown']) await page.keyboard.press(key);
  for (let i = 0; i < '  Setup, '.length; i++) await page.keyboard.press('ArrowRight');
  await press(page, 'Control', 'Space');
  await page.waitForSelector('.cm-tooltip-autocomplete li', {timeout: 5000}).catch(() => null);
  const labels = await page.$$eval('.cm-tooltip-autocomplete li', (items) => items.map((li) => li.textContent));
  check(['setup.exe', 'readme.txt', 'docs\\'].every((name) => labels.some((l) => l.startsWith(name))),
        'completion lists the folder\'s files', JSON.stringify(labels));
  await page.keyboard.press('Escape');
  await page.click('#forget-disc');
}

// The tree as drawn: each item's text and its children.
function drawnTree(page) {
  return page.evaluate(() => {
    const read = (list) => [...list.children].filter((li) => li.matches('[role=treeitem]')).map((li) => {
      const group = li.querySelector(':scope > [role=group]');
      return {text: li.querySelector(':scope > .row .label').textContent, children: group ? read(group) : []};
    });
    const tree = document.querySelector('#window-pane [role=tree]');
    return {caption: document.querySelector('#window-pane .caption').textContent, items: tree ? read(tree) : null};
  });
}

function treeOf(items) {
  return items.map((item) => ({text: item.text, children: treeOf(item.children)}));
}

async function testTrees(page) {
  const cases = path.join(source, 'check/tests/cases');
  const menus = fs.readdirSync(cases).filter((n) => n.endsWith('.ini')).sort().map((n) => path.join(cases, n))
    .concat([path.join(source, 'examples/Quorlan.ini'), path.join(source, 'kit/Quorlan.ini')]);
  let compared = 0;
  for (const menu of menus) {
    const copy = path.join(out, 'trees', String(compared), 'Quorlan.ini');
    fs.mkdirSync(path.dirname(copy), {recursive: true});
    fs.copyFileSync(menu, copy);
    await openMenuFile(page, copy);
    const drawn = await drawnTree(page);
    const report = JSON.parse(runNative(['--json', '--no-files'], fs.readFileSync(menu)).out);
    const expected = {caption: report.caption, items: treeOf(report.items)};
    const [a, b] = [JSON.stringify(drawn), JSON.stringify(expected)];
    let differ = 0;
    while (differ < a.length && a[differ] === b[differ]) differ++;
    check(a === b, `the drawn tree of ${path.relative(source, menu)} is --json's`,
          `from character ${differ}: ${a.slice(differ, differ + 200)} against ${b.slice(differ, differ + 200)}`);
    compared++;
  }
  check(compared >= 10, 'the test menus were compared', String(compared));
}

async function testWindow(page) {
  const command = '"C:\\Program Files\\App\\app.exe" -x "y z"';
  const menu = 'Window Test\n{\n  Tom && Jerry &Co, setup.exe /quiet, \'First line, and more\',\n  Group\n  {\n    Inner, docs\\manual.pdf\n  }\n}\n';
  await typeMenu(page, menu);
  await page.focus('#window-pane [role=tree]');
  await page.keyboard.press('ArrowDown');
  const first = await page.evaluate(() => ({
    selected: document.querySelector('#window-pane [aria-selected=true] .label').textContent,
    caption: document.querySelector('#window-pane .frame-caption').innerHTML,
    description: document.querySelector('#window-pane .description').value,
    command: document.querySelector('#window-pane .command').value,
  }));
  check(first.selected === 'Tom && Jerry &Co', 'the arrow key selects the first entry, shown literally', first.selected);
  check(first.caption === 'Tom &amp; Jerry <u>C</u>o', 'the frame\'s caption takes the mnemonic rule', first.caption);
  check(first.description === 'First line, and more', 'the description box shows the description', JSON.stringify(first.description));
  check(first.command === 'setup.exe /quiet', 'the command box shows the command', first.command);
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowRight');
  const inner = await page.$eval('#window-pane [aria-selected=true] .label', (e) => e.textContent);
  check(inner === 'Inner', 'Right expands a level, then goes into it', inner);
  const grouped = await page.$eval('#window-pane .command', (e) => e.value);
  check(grouped === 'docs\\manual.pdf', 'the inner entry\'s command is shown', grouped);
  // The command box edited, then Run.
  await page.click('#window-pane .command', {clickCount: 3});
  await page.keyboard.type(command);
  await page.click('#window-pane .run');
  await page.waitForFunction(() => document.getElementById('shell').textContent.startsWith('shell gets:'), {timeout: 5000});
  const said = await page.$eval('#shell', (e) => e.textContent);
  const nativeSays = runNative(['--no-files'], `T\n{\n  E, ${command}\n}\n`).out.split('\n').find((l) => l.includes('shell gets:'));
  check(said.replace(/^shell gets:\s*/, '') === nativeSays.replace(/^\s*shell gets:\s*/, ''), 'Run says what the shell gets for the edited box', said + ' against ' + nativeSays.trim());
}

async function testLink(browser, page) {
  const menu = 'Shared Disc, sorted\n{\n  Setup, setup.exe, Installs it\n}\n';
  await typeMenu(page, menu);
  await page.select('#code-page', '1251');
  await page.select('#drive', 'E');
  await page.evaluate(() => {
    const input = document.getElementById('left-out');
    input.value = 'sort-order';
    input.dispatchEvent(new Event('input'));
  });
  await page.evaluate(() => { delete document.body.dataset.link; });
  await page.waitForFunction(() => document.body.dataset.link === 'written', {timeout: 5000});
  const url = page.url();
  check(url.startsWith(pageUrl + '#'), 'the address holds the menu', url.slice(0, 100));
  const second = await openPage(browser, url);
  const restored = await second.evaluate(() => ({text: window.quorlanShown().text,
    settings: ['code-page', 'drive', 'left-out'].map((id) => document.getElementById(id).value)}));
  check(restored.text === menu && JSON.stringify(restored.settings) === '["1251","E","sort-order"]',
        'the link opens the same page', JSON.stringify(restored));
  await second.close();
  // Links no page wrote: broken, and a deflate of 20 MB in 26 KB of
  // fragment. Each opens the page as no link does, and the tab lives.
  const bomb = zlib.deflateRawSync(Buffer.from(JSON.stringify({text: 'a'.repeat(20e6)})), {level: 9});
  for (const [what, fragment] of [['a broken link', 'menu=%%%not-base64'],
                                  ['a link unpacking to 20 MB', 'menu=' + bomb.toString('base64url')]]) {
    const opened = await openPage(browser, pageUrl + '#' + fragment);
    const text = await opened.evaluate(() => window.quorlanShown().text).catch((e) => 'the page ended: ' + e.message);
    check(text.length < 1000, `${what} opens the page as no link does`, `${fragment.length} bytes of fragment, ${text.slice(0, 60)}`);
    await opened.close();
  }
  await page.bringToFront(); // a tab behind another has its timers slowed
  // A menu whose link would be too long.
  let long = 'Long Disc\n{\n', seed = 1;
  const word = () => (seed = (seed * 1103515245 + 12345) % 2147483648).toString(36);
  for (let i = 0; i < 3000; i++) long += `  Entry ${word()}, ${word()}.exe, ${word()} ${word()},\n`;
  long += '}\n';
  const file = path.join(out, 'long', 'Quorlan.ini');
  fs.mkdirSync(path.dirname(file), {recursive: true});
  fs.writeFileSync(file, long);
  await page.evaluate(() => { delete document.body.dataset.link; });
  await openMenuFile(page, file);
  await page.waitForFunction(() => /too long to share/.test(document.getElementById('link-state').textContent), {timeout: 5000})
    .catch(() => null);
  const said = await page.$eval('#link-state', (e) => e.textContent);
  check(/too long to share as a link/.test(said) && !page.url().includes('#'), 'a menu too long for a link says so', said);
}

// The picture: the example menu, an entry selected and Run pressed, in a
// fresh page with the default settings.
async function keepPicture(browser) {
  const page = await openPage(browser);
  await page.setViewport({width: 1500, height: 800});
  await openMenuFile(page, path.join(source, 'examples/Quorlan.ini'));
  await page.focus('#window-pane [role=tree]');
  for (const key of ['ArrowDown', 'ArrowRight', 'ArrowRight']) await page.keyboard.press(key);
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.getElementById('shell').textContent.startsWith('shell gets:'), {timeout: 5000});
  const shot = path.join(out, 'page.png');
  await page.screenshot({path: shot});
  if (picture) fs.copyFileSync(shot, picture);
  check(fs.existsSync(shot), 'the picture is kept', shot);
  await page.close();
}

async function main() {
  if (!fs.existsSync(native)) {
    console.log(`FAIL: no native tool at ${native}: build the native preset's quorlan-check first`);
    process.exit(1);
  }
  fs.rmSync(out, {recursive: true, force: true});
  fs.mkdirSync(out, {recursive: true});
  const {createQuorlanChecker} = require(path.join(path.dirname(path.dirname(pagePath)), 'quorlan-check-web-single.js'));
  const checker = await createQuorlanChecker();
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlan-web-'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true, userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  try {
    const page = await openPage(browser);
    const started = Date.now();
    await testTour(page);
    await testFormat(page, checker);
    await testDisc(page);
    await testTrees(page);
    await testWindow(page);
    await testLink(browser, page);
    await keepPicture(browser);
    console.log(`the page's tests took ${((Date.now() - started) / 1000).toFixed(1)} s`);
  } finally {
    await browser.close();
    fs.rmSync(profile, {recursive: true, force: true});
  }
  console.log(`test_page: ${passed} passed, ${failed} failed`);
  process.exit(failed ? 1 : 0);
}

main().catch((e) => {
  console.log('FAIL: ' + (e && e.stack || e));
  process.exit(1);
});
