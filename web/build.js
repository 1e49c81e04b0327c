/*
 * Builds the checker's page: one HTML file that carries everything, so
 * that it runs from a file: address (where a browser fetches nothing
 * beside it) as from any static host.
 *
 *   node build.js SINGLE-FILE-MODULE.JS SOURCE-FOLDER OUT.HTML
 *
 * The worker's script is the module's single-file build (the .wasm inside
 * it) followed by src/worker.js; the page's script, bundled by esbuild
 * with the editor's packages, carries it as text and starts it from a
 * Blob. The page's policy allows its own script (by its hash), the
 * compiling of WebAssembly, a Blob worker and inline styles, and nothing
 * from any other place.
 */
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const esbuild = require('esbuild');

const [modulePath, source, outPath] = process.argv.slice(2).map((a) => path.resolve(a));
const here = __dirname;

// The code pages the checker knows, with the language each stands for.
function codePages() {
  const text = fs.readFileSync(path.join(source, 'check/text/codepages.h'), 'utf8');
  return [...text.matchAll(/^CODE_PAGE\((\d+),.*\/\*\s*(.*?)\s*\*\//gm)].map((m) => [Number(m[1]), m[2]]);
}

// The worker's script, as the module 'quorlan:worker' (its text).
const workerPlugin = {
  name: 'quorlan-worker',
  setup(build) {
    build.onResolve({filter: /^quorlan:worker$/}, () => ({path: 'worker', namespace: 'quorlan'}));
    build.onLoad({filter: /.*/, namespace: 'quorlan'}, () => ({
      contents: fs.readFileSync(modulePath, 'utf8') + '\n' + fs.readFileSync(path.join(here, 'src/worker.js'), 'utf8'),
      loader: 'text',
    }));
  },
};

async function main() {
  const built = await esbuild.build({
    entryPoints: [path.join(here, 'src/page.js')], bundle: true, format: 'iife', minify: true, write: false,
    target: 'es2020', legalComments: 'eof', define: {QUORLAN_CODE_PAGES: JSON.stringify(codePages())},
    plugins: [workerPlugin], logLevel: 'warning',
  });
  // Inside a <script> element, "</script" would end it: written "<\/script",
  // which reads the same in a string or a pattern.
  const script = built.outputFiles[0].text.replace(/<\/(script)/gi, '<\\/$1').trimEnd();
  if (/<!--|<script/i.test(script)) throw new Error('the script holds "<!--" or "<script", which an HTML page cannot inline');
  const hash = crypto.createHash('sha256').update(script).digest('base64');
  const policy = ["default-src 'none'", `script-src 'sha256-${hash}' 'wasm-unsafe-eval'`, 'worker-src blob:',
                  "style-src 'unsafe-inline'", "img-src data:", "base-uri 'none'", "form-action 'none'"].join('; ');
  const style = fs.readFileSync(path.join(here, 'src/page.css'), 'utf8').trim();
  const page = fs.readFileSync(path.join(here, 'src/page.html'), 'utf8')
    .replace('@POLICY@', () => policy).replace('@STYLE@', () => style).replace('@SCRIPT@', () => script);
  fs.mkdirSync(path.dirname(outPath), {recursive: true});
  fs.writeFileSync(outPath, page);
}

main().catch((e) => {
  console.error('web/build.js: ' + (e && e.message || e));
  process.exit(1);
});
