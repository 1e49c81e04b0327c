// Installs a .vsix into code-server (VS Code served to a browser), opens a
// menu with a slip in it through Debian's chromium, with no quorlan-check
// on the PATH, and prints what the editor shows: the squiggles, the
// Problems panel and the quick fixes at the slip. Exits 0 when a warning
// and a quick fix showed. Pictures of both go into OUT-FOLDER.
//   node tools/code-server-check.js TOOLS-FOLDER VSIX OUT-FOLDER
// TOOLS-FOLDER holds code-server and puppeteer-core, which are installed
// there when missing. Their native modules build from source, which needs
// libkrb5-dev, libx11-dev, libxkbfile-dev, libsecret-1-dev, chromium and
// ripgrep from Debian; ripgrep's package would download its program, so
// Debian's is put where it looks for one downloaded before.
'use strict';
const {spawn, execFileSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const CODE_SERVER = 'code-server@4.100.3';  // a release for Node 20, the Node on the PATH here
const RIPGREP_ASSET = 'ripgrep-v13.0.0-10-x86_64-unknown-linux-musl.tar.gz';
const MENU = 'Demo disc\n{\n  Read me, readme.txt\n  Setup, setup.exe\n}\n';  // no comma after readme.txt
const SLIP = '3:22';

// Installs code-server and puppeteer-core into the folder, once.
function install(folder) {
  if (fs.existsSync(path.join(folder, 'node_modules', '.bin', 'code-server'))) return;
  fs.mkdirSync(folder, {recursive: true});
  const manifest = path.join(folder, 'package.json');
  if (!fs.existsSync(manifest)) fs.writeFileSync(manifest, '{"private": true}\n');
  const versions = JSON.parse(execFileSync('npm', ['view', '@vscode/ripgrep@^1.15', 'version', '--json']).toString());
  const stage = fs.mkdtempSync(path.join(os.tmpdir(), 'ripgrep-'));
  fs.copyFileSync('/usr/bin/rg', path.join(stage, 'rg'));
  for (const version of [].concat(versions)) {
    const cache = path.join(os.tmpdir(), `vscode-ripgrep-cache-${version}`);
    fs.mkdirSync(cache, {recursive: true});
    execFileSync('tar', ['czf', path.join(cache, RIPGREP_ASSET), '-C', stage, 'rg']);
  }
  fs.rmSync(stage, {recursive: true});
  // code-server's own install script wants unsafe-perm under root, and npx's yes.
  execFileSync('npm', ['install', '--no-audit', '--no-fund', CODE_SERVER, 'puppeteer-core'], {cwd: folder,
    stdio: 'inherit', env: {...process.env, npm_config_unsafe_perm: 'true', npm_config_yes: 'true',
                            npm_config_nodedir: path.dirname(path.dirname(process.execPath))}});
}

const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

async function press(page, ...keys) {
  for (const key of keys) await page.keyboard.down(key);
  for (const key of keys.reverse()) await page.keyboard.up(key);
}

const rowTexts = (page, selector) => page.$$eval(selector, rows => rows.map(r => r.innerText.replace(/\s+/g, ' ')));

async function main() {
  const [tools, vsix, out] = process.argv.slice(2).map(p => path.resolve(p));
  install(tools);
  const puppeteer = require(path.join(tools, 'node_modules', 'puppeteer-core'));
  const codeServer = path.join(tools, 'node_modules', '.bin', 'code-server');
  fs.rmSync(out, {recursive: true, force: true});
  const [data, extensions, disc] = ['data', 'extensions', 'disc'].map(name => path.join(out, name));
  for (const folder of [path.join(data, 'User'), extensions, disc]) fs.mkdirSync(folder, {recursive: true});
  fs.writeFileSync(path.join(disc, 'Quorlan.ini'), MENU);
  for (const name of ['readme.txt', 'setup.exe']) fs.writeFileSync(path.join(disc, name), '');
  fs.writeFileSync(path.join(data, 'User', 'settings.json'), JSON.stringify({
    'security.workspace.trust.enabled': false, 'workbench.startupEditor': 'none', 'telemetry.telemetryLevel': 'off'}));
  // The system's own folders only, where no quorlan-check is: the extension must run the one it carries.
  const env = {...process.env, PATH: '/usr/bin:/bin', HOME: out};
  const found = spawn('sh', ['-c', 'command -v quorlan-check'], {env});
  if (await new Promise(resolve => found.on('exit', resolve)) === 0) throw new Error('a quorlan-check is on the PATH');
  const common = ['--user-data-dir', data, '--extensions-dir', extensions, '--config', path.join(out, 'config.yaml')];
  execFileSync(codeServer, [...common, '--install-extension', vsix], {env, stdio: 'ignore'});
  const port = 18000 + process.pid % 1000;
  const log = fs.openSync(path.join(out, 'code-server.log'), 'w');
  const server = spawn(codeServer, [...common, '--auth', 'none', '--bind-addr', `127.0.0.1:${port}`,
                                    '--disable-telemetry', '--disable-workspace-trust', disc],
                       {env, stdio: ['ignore', log, log]});
  const browser = await puppeteer.launch({executablePath: '/usr/bin/chromium', headless: true,
                                          args: ['--no-sandbox', '--disable-gpu'],
                                          defaultViewport: {width: 1280, height: 900}});
  try {
    const page = await browser.newPage();
    for (let attempt = 0; ; attempt++) {
      try {
        await page.goto(`http://127.0.0.1:${port}/?folder=${encodeURIComponent(disc)}`);
        break;
      } catch (error) {
        if (attempt > 60) throw error;
        await sleep(1000);
      }
    }
    await page.waitForSelector('.monaco-workbench', {timeout: 60000});
    await sleep(5000);
    await press(page, 'Control', 'KeyP');
    await sleep(1500);
    await page.keyboard.type('Quorlan.ini');
    await sleep(1500);
    await page.keyboard.press('Enter');
    const marks = '.squiggly-warning, .squiggly-error';
    const marked = await page.waitForSelector(marks, {timeout: 90000}).then(() => true, () => false);
    await sleep(2000);
    console.log('squiggles in the editor:', marked ? (await page.$$(marks)).length : 0);
    await press(page, 'Control', 'Shift', 'KeyM');
    await sleep(2000);
    const problems = await rowTexts(page, '.markers-panel .monaco-list-row');
    console.log('the Problems panel:\n  ' + problems.join('\n  '));
    await page.screenshot({path: path.join(out, 'problems.png')});
    await page.click('.monaco-editor .view-lines');
    await press(page, 'Control', 'KeyG');
    await sleep(800);
    await page.keyboard.type(SLIP);
    await page.keyboard.press('Enter');
    await sleep(1500);
    await press(page, 'Control', 'Period');
    await sleep(3000);
    const fixes = (await rowTexts(page, '.action-widget .monaco-list-row')).filter(text => text !== 'Quick Fix');
    console.log(`the quick fixes at ${SLIP}:\n  ` + fixes.join('\n  '));
    await page.screenshot({path: path.join(out, 'quick-fix.png')});
    return marked && problems.length && fixes.length ? 0 : 1;
  } finally {
    await browser.close();
    server.kill();
  }
}

main().then(status => process.exit(status), error => {
  console.log(error);
  process.exit(1);
});
