/*
 * The page's figures, in Debian's chromium, headless, from its file:
 * address (a benchmark: it prints, it fails on no time).
 *
 *   node bench_page.js INDEX.HTML SOURCE-FOLDER [RUNS]
 *
 * - The page's size, raw and with gzip -9.
 * - From opening to the first check shown (the page's own mark, from the
 *   navigation's start), over RUNS fresh pages.
 * - Each keystroke's check of the example menu: the worker's time for the
 *   whole answer (the text written, checked, its words and its window).
 * - 100 characters typed into a clean 2,000-entry menu, one every 50 ms:
 *   the longest task of the page's thread (the long-task observer's, and a
 *   probe's longest gap between two 4 ms timers), and the time from the
 *   last keystroke to its warnings shown.
 */
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const puppeteer = require('puppeteer-core');

const [pagePath, source] = process.argv.slice(2).map((a) => path.resolve(a));
const runs = Number(process.argv[4] || 5);
const pageUrl = 'file://' + pagePath;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function spread(values, unit = 'ms') {
  const sorted = values.slice().sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  return `median ${median.toFixed(1)} ${unit}, ${sorted[0].toFixed(1)} to ${sorted[sorted.length - 1].toFixed(1)} ${unit} ` +
         `(${values.length})`;
}

// A clean menu of that many entries: each ends with its comma.
function cleanMenu(entries) {
  let menu = 'Many Entries\r\n{\r\n';
  for (let i = 0; i < entries; i++) menu += `  Entry ${i}, program${i}.exe /q, The description of entry ${i},\r\n`;
  return menu + '}\r\n';
}

async function openPage(browser, probe) {
  const page = await browser.newPage();
  await page.setViewport({width: 1400, height: 800});
  if (probe) {
    await page.evaluateOnNewDocument(() => {
      window.benchLongTasks = [];
      new PerformanceObserver((list) => {
        for (const entry of list.getEntries()) window.benchLongTasks.push(entry.duration);
      }).observe({type: 'longtask', buffered: true});
    });
  }
  await page.goto(pageUrl);
  await page.waitForFunction(() => performance.getEntriesByName('quorlan-first-check').length > 0, {timeout: 15000});
  return page;
}

async function settled(page) {
  await sleep(100);
  await page.waitForFunction(() => !window.quorlanShown().busy, {timeout: 60000, polling: 20});
}

async function openMenu(page, file) {
  const input = await page.$('#open-input');
  await input.uploadFile(file);
  await page.waitForFunction((length) => window.quorlanShown().text.length === length, {timeout: 60000},
                             fs.readFileSync(file, 'latin1').length);
  await settled(page);
}

// The cursor before the comma that ends the last entry's description.
async function toLastDescription(page) {
  await page.click('.cm-content');
  await page.keyboard.down('Control');
  await page.keyboard.press('End');
  await page.keyboard.up('Control');
  for (const key of ['ArrowUp', 'ArrowUp', 'End', 'ArrowLeft']) await page.keyboard.press(key);
}

async function main() {
  const html = fs.readFileSync(pagePath);
  console.log(`page: ${path.basename(pagePath)}, ${(html.length / 1024).toFixed(0)} KiB, ` +
              `${(zlib.gzipSync(html, {level: 9}).length / 1024).toFixed(0)} KiB with gzip -9`);
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlan-bench-'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true, userDataDir: path.join(folder, 'profile'),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  try {
    const opened = [];
    for (let i = 0; i < runs; i++) {
      const page = await openPage(browser);
      opened.push(await page.evaluate(() => performance.getEntriesByName('quorlan-first-check')[0].startTime));
      await page.close();
    }
    console.log(`opening to the first check shown: ${spread(opened)}`);

    // Each keystroke into the example menu, its check awaited.
    const page = await openPage(browser);
    await openMenu(page, path.join(source, 'examples/Quorlan.ini'));
    await toLastDescription(page);
    const checks = [], draws = [];
    for (const c of 'a keystroke at a time') {
      await page.evaluate(() => performance.clearMarks());
      await page.keyboard.type(c);
      await page.waitForFunction(() => performance.getEntriesByName('quorlan-drawn').length > 0, {timeout: 10000});
      await settled(page);
      checks.push(await page.evaluate(() => performance.getEntriesByName('quorlan-checked').pop().detail.checkMs));
      draws.push(await page.evaluate(() => performance.getEntriesByName('quorlan-drawn').pop().detail.drawMs));
    }
    console.log(`a keystroke's check of examples/Quorlan.ini (in the worker): ${spread(checks)}; ` +
                `its words and window: ${spread(draws)}`);
    await page.close();

    // 100 characters into a clean 2,000-entry menu.
    const menuFile = path.join(folder, 'Quorlan.ini');
    fs.writeFileSync(menuFile, cleanMenu(2000));
    const big = await openPage(browser, true);
    await openMenu(big, menuFile);
    const bigChecks = [], bigDraws = [];
    for (let i = 0; i < 3; i++) {
      await big.evaluate(() => performance.clearMarks());
      await big.select('#drive', ['E', 'F', 'D'][i]);
      await big.waitForFunction(() => performance.getEntriesByName('quorlan-drawn').length > 0, {timeout: 10000});
      bigChecks.push(await big.evaluate(() => performance.getEntriesByName('quorlan-checked').pop().detail.checkMs));
      bigDraws.push(await big.evaluate(() => performance.getEntriesByName('quorlan-drawn').pop().detail.drawMs));
    }
    console.log(`a check of the 2,000-entry menu (in the worker): ${spread(bigChecks)}; its words and window: ${spread(bigDraws)}`);
    const warnings = await big.evaluate(() => window.quorlanShown().diagnostics.length);
    await toLastDescription(big);
    await big.evaluate(() => {
      window.benchLongTasks = [];
      window.benchGap = 0;
      let last = performance.now();
      window.benchProbe = setInterval(() => {
        const now = performance.now();
        window.benchGap = Math.max(window.benchGap, now - last - 4);
        last = now;
      }, 4);
      window.benchKeys = [];
      document.addEventListener('keydown', (e) => window.benchKeys.push(e.timeStamp), true);
      performance.clearMarks('quorlan-checked');
    });
    await big.keyboard.type('x'.repeat(100), {delay: 50});
    await sleep(1500);
    const typed = await big.evaluate(() => {
      clearInterval(window.benchProbe);
      const lastKey = window.benchKeys[window.benchKeys.length - 1];
      const shown = performance.getEntriesByName('quorlan-checked').filter((m) => m.startTime > lastKey);
      return {longTasks: window.benchLongTasks, gap: window.benchGap, keys: window.benchKeys.length,
              latency: shown.length ? shown[shown.length - 1].startTime - lastKey : null,
              checks: performance.getEntriesByName('quorlan-checked').length,
              warnings: window.quorlanShown().diagnostics.length};
    });
    console.log(`100 characters typed into a clean 2,000-entry menu (${warnings} warnings before, ${typed.warnings} after; ` +
                `${typed.keys} keys, ${typed.checks} checks shown):`);
    console.log(`  tasks over 50 ms on the page's thread: ${typed.longTasks.length ? typed.longTasks.map((d) => d.toFixed(0) + ' ms').join(', ') : 'none'}`);
    console.log(`  the longest gap between two 4 ms timers: ${typed.gap.toFixed(1)} ms`);
    console.log(`  from the last keystroke to its warnings shown: ${typed.latency === null ? 'not shown' : typed.latency.toFixed(0) + ' ms'}`);
    await big.close();
  } finally {
    await browser.close();
    fs.rmSync(folder, {recursive: true, force: true});
  }
}

main().catch((e) => {
  console.error(e && e.stack || e);
  process.exit(1);
});
