// A learner's program made a page with the installed web kit
// (tests/install/web_kit/tiles.c), served as a static host serves a folder
// and used in each browser engine: the board appears, a click paints the
// tile under it, 'r' clears the board and Ctrl+Q ends the program.
//   node tests/web/kit_page.js FOLDER...   (QELMA_BROWSERS picks engines)
'use strict';
const fs = require('fs');
const path = require('path');
const { inEngines } = require('./engines');
const { check, finish, serve } = require('./page_support');

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
  await d.goto(url);
  const shown = await d.waitFor(`!!Module.calledRun && !!document.querySelector('.qelma-window:not([hidden])')`, 30000);
  say(!!shown, 'the page starts the program and shows its panel');
  if (!shown) return;
  await d.idle();
  say(await d.waitFor(`${TILE(2, 1)} === '${WHITE}' && ${TILE(5, 3)} === '${WHITE}'`), 'the board is drawn: its tiles are white');
  await d.onCanvas(...tileMiddle(2, 1));
  say(await d.waitFor(`${TILE(2, 1)} === '${BLUE}'`) && await d.evaluate(TILE(5, 3)) === WHITE,
      'a click paints the tile under it, and only that one');
  await d.press('r');
  await d.idle();
  say(await d.waitFor(`${TILE(2, 1)} === '${WHITE}'`), 'the key r clears the board');
  await d.press('q', ['Control']);
  const [ended, told] = await d.endedWell();
  say(ended, `Ctrl+Q ends the program with code 0 (${told})`);
}

(async () => {
  const folders = process.argv.slice(2).map(f => path.resolve(f));
  if (!folders.length) { console.error('usage: node kit_page.js FOLDER...'); process.exit(2); }
  const names = (process.env.QELMA_BROWSERS || 'chromium,firefox,webkit').split(',').filter(Boolean);
  for (const folder of folders) {
    const files = ['index.html', 'index.js', 'index.wasm'];
    const missing = files.filter(f => !fs.existsSync(path.join(folder, f)));
    check(!missing.length, `${folder} holds ${files.join(', ')} (missing: ${missing.join(', ') || 'none'})`);
    if (missing.length) continue;
    const server = await serve(folder);
    await inEngines(names, check, d => journey(d, `http://127.0.0.1:${server.address().port}/`), true);
    server.close();
  }
  finish('web kit check');
})();
