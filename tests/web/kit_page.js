// A learner's program made a page with the installed web kit
// (tests/install/web_kit/tiles.c), served as a static host serves a folder
// and used in each browser engine: the board appears, a click paints the
// tile under it, 'r' clears the board and Ctrl+Q ends the program.
//   node tests/web/kit_page.js FOLDER...   (QELMA_BROWSERS picks engines)
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const { ENGINES, sleep } = require('./engines');

// What a static web host says of each file of the folder.
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
                '.woff2': 'font/woff2' };
let failures = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
}

function serve(folder) {
  const server = http.createServer((req, res) => {
    const name = decodeURIComponent(new URL(req.url, 'http://host').pathname).replace(/\/$/, '/index.html');
    const file = path.join(folder, path.normalize(name));
    if (!file.startsWith(folder + path.sep) || !fs.existsSync(file)) { res.writeHead(404); res.end(); return; }
    res.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// The tile (column, row) of tiles.c: its middle in canvas pixels (the
// program's (0, 0) is canvas pixel (300, 260)), and its colour there.
const tileMiddle = (column, row) => [300 - 240 + 80 * column + 40, 260 - (200 - 80 * row - 40)];
const TILE = (column, row) => `(() => {
  const c = document.querySelector('.qelma-window canvas');
  const [x, y] = ${JSON.stringify(tileMiddle(column, row))};
  return Array.from(c.getContext('2d').getImageData(x, y, 1, 1).data.slice(0, 3)).join(',');
})()`;
const WHITE = '255,255,255', BLUE = '0,0,255';

async function journey(d, url) {
  const say = (ok, what) => check(ok, `${d.name}: ${what}`);
  const waitFor = async (expr, ms) => {
    for (const end = Date.now() + ms; ;) {
      const v = await d.evaluate(expr).catch(() => null);
      if (v || Date.now() > end) return v || null;
      await sleep(50);
    }
  };
  const idle = () => d.evaluate('Module.qelmaPage.whenIdle()');
  await d.goto(url);
  const shown = await waitFor(`!!Module.calledRun && !!document.querySelector('.qelma-window:not([hidden])')`, 30000);
  say(!!shown, 'the page starts the program and shows its panel');
  if (!shown) return;
  await idle();
  const font = await d.evaluate(`document.fonts.check('16px "QELMA-font"')`);
  say(font === true, 'the page\'s own font is loaded');
  say(await waitFor(`${TILE(2, 1)} === '${WHITE}' && ${TILE(5, 3)} === '${WHITE}'`, 5000),
      'the board is drawn: its tiles are white');
  const [left, top, w] = await d.evaluate(`(() => { const c = document.querySelector('.qelma-window canvas');
    const r = c.getBoundingClientRect(); return [r.left, r.top, r.width / c.width]; })()`);
  const [x, y] = tileMiddle(2, 1);
  await d.click(left + x * w, top + y * w);
  await idle();
  say(await waitFor(`${TILE(2, 1)} === '${BLUE}'`, 5000) && await d.evaluate(TILE(5, 3)) === WHITE,
      'a click paints the tile under it, and only that one');
  await d.press('r');
  await idle();
  say(await waitFor(`${TILE(2, 1)} === '${WHITE}'`, 5000), 'the key r clears the board');
  await d.press('q', ['Control']);
  const ended = await waitFor(`Module.qelmaEnded && document.getElementById('qelma-status').textContent`, 5000);
  say(/has ended \(code 0\)/.test(ended || ''), `Ctrl+Q ends the program with code 0 (${ended})`);
}

(async () => {
  const folders = process.argv.slice(2).map(f => path.resolve(f));
  if (!folders.length) { console.error('usage: node kit_page.js FOLDER...'); process.exit(2); }
  const names = (process.env.QELMA_BROWSERS || 'chromium,firefox,webkit').split(',').filter(Boolean);
  for (const folder of folders) {
    const files = ['index.html', 'index.js', 'index.wasm', 'qelma-font.woff2'];
    const missing = files.filter(f => !fs.existsSync(path.join(folder, f)));
    check(!missing.length, `${folder} holds ${files.join(', ')} (missing: ${missing.join(', ') || 'none'})`);
    if (missing.length) continue;
    const server = await serve(folder);
    const url = `http://127.0.0.1:${server.address().port}/`;
    for (const name of names) {
      if (!ENGINES[name]) { check(false, `QELMA_BROWSERS: no engine "${name}"`); continue; }
      const d = await ENGINES[name]().catch(e => { check(false, `${name} did not start: ${e.message}`); return null; });
      if (typeof d === 'string') check(false, `${name} cannot run here: ${d}`);
      if (!d || typeof d === 'string') continue;
      try {
        await journey(d, url);
      } catch (e) {
        check(false, `${name}: the page was used to its end: ${e.stack}`);
      } finally {
        await d.close().catch(() => {});
      }
    }
    server.close();
  }
  console.log(failures ? `${failures} web kit check(s) failed` : 'all web kit checks passed');
  process.exit(failures ? 1 : 0);
})();
