// Page tests of the web build, in the installed Chromium (never a downloaded
// one): the game's parity frames against the GDI references, and the car game
// used as a user would (menu, clicks, keypad, record, play back, reload).
//   node tests/web/run_page_tests.js [build/web]
'use strict';
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');

const root = path.resolve(__dirname, '..', '..');
const buildDir = path.resolve(process.argv[2] || path.join(root, 'build', 'web'));
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
let failures = 0;

function check(ok, what) {
  console.log((ok ? 'ok   ' : 'FAIL ') + what);
  if (!ok) failures++;
}

function serve() {
  const server = http.createServer((req, res) => {
    const url = decodeURIComponent(req.url.split('?')[0]);
    const file = path.join(buildDir, path.normalize(url).replace(/^(\.\.[/\\])+/, ''));
    if (!file.startsWith(buildDir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404); res.end(); return;
    }
    res.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve(server)));
}

function readPpm(bytes) {
  // "P6\n<w> <h>\n255\n" then RGB triples.
  let pos = 0;
  const fields = [];
  while (fields.length < 4) {
    while (/\s/.test(String.fromCharCode(bytes[pos]))) pos++;
    let start = pos;
    while (!/\s/.test(String.fromCharCode(bytes[pos]))) pos++;
    fields.push(Buffer.from(bytes.slice(start, pos)).toString('latin1'));
  }
  pos++;
  if (fields[0] !== 'P6' || fields[3] !== '255') throw new Error('not a P6 PPM');
  return { w: Number(fields[1]), h: Number(fields[2]), rgb: bytes.slice(pos) };
}

async function waitEnded(page, ms) {
  await page.waitForFunction(() => Module.qelmaEnded === true, null, { timeout: ms });
  return page.evaluate(() => Module.qelmaExitCode);
}

async function parity(context) {
  const page = await context.newPage();
  await page.goto(base + '/tests/web/parity_web_frames.html?arg=.');
  const code = await waitEnded(page, 60000);
  check(code === 0, 'parity frames: the program ends with code 0');
  for (const name of ['day', 'night']) {
    const mine = readPpm(Buffer.from(await page.evaluate(n => Array.from(FS.readFile(n + '.ppm')), name)));
    const ref = readPpm(fs.readFileSync(path.join(root, 'tests', 'data', 'parity', name + '.ppm')));
    check(mine.w === ref.w && mine.h === ref.h, `parity ${name}: ${mine.w} x ${mine.h} like the reference`);
    let same = 0;
    const n = Math.min(mine.rgb.length, ref.rgb.length) / 3;
    for (let i = 0; i < n; i++)
      if (mine.rgb[3 * i] === ref.rgb[3 * i] && mine.rgb[3 * i + 1] === ref.rgb[3 * i + 1] &&
          mine.rgb[3 * i + 2] === ref.rgb[3 * i + 2]) same++;
    const share = same / (ref.w * ref.h);
    console.log(`     parity ${name}: ${(100 * share).toFixed(3)} % of pixels as GDI draws them`);
    check(share >= 0.99, `parity ${name}: at least 99 % of pixels match`);
    const log = await page.evaluate(n => FS.readFile(n + '.log', { encoding: 'utf8' }), name);
    const refLog = fs.readFileSync(path.join(root, 'tests', 'data', 'parity', name + '.log'), 'latin1');
    check(log === refLog, `parity ${name}: the same drawing calls as the reference`);
  }
  await page.close();
}

// GoogleTest programs compiled for the browser: each page's exit code is the
// verdict; the summary lines and any failure are shown.
async function gtests(context) {
  for (const name of ['web_platform_gdi_test', 'web_platform_window_test', 'web_cargame_play_test']) {
    const page = await context.newPage();
    const lines = [];
    page.on('console', m => lines.push(m.text()));
    await page.goto(base + '/tests/web/' + name + '.html?arg=--gtest_color=no');
    let code;
    try {
      code = await waitEnded(page, 240000);
    } catch (e) {
      code = 'none: ' + e.message.split('\n')[0];
    }
    const summary = lines.filter(l => /^\[  (PASSED|FAILED) |^\[==========\] \d+ tests/.test(l));
    if (code !== 0) lines.filter(l => /Failure|FAILED|Expected|Which is|Value of/.test(l)).forEach(l => console.log('     ' + l));
    check(code === 0, `${name} in the page: ${summary.join('; ')} (exit code ${code})`);
    await page.close();
  }
}

// Pure white pixels in the lower part of the drawing area, where the game's
// start screen writes its instructions (white on the brown ground) and the
// running game draws none.
async function instructionPixels(page) {
  return page.evaluate(() => {
    const c = document.querySelector('.qelma-window canvas');
    const d = c.getContext('2d').getImageData(10, 360, c.width - 20, 120).data;
    let n = 0;
    for (let i = 0; i < d.length; i += 4) n += d[i] === 255 && d[i + 1] === 255 && d[i + 2] === 255;
    return n;
  });
}

// The examples start in the page and draw something other than their window's
// background.
async function examples(context) {
  for (const name of ['first', 'hello', 'shapes', 'bounce']) {
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', e => errors.push(e.message));
    await page.goto(base + '/examples/qelma_' + name + '.html');
    let colours = 0;
    try {
      await page.waitForFunction(() => {
        const c = document.querySelector('.qelma-window:not([hidden]) canvas');
        if (!c) return false;
        const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
        const seen = new Set();
        for (let i = 0; i < d.length; i += 16) seen.add((d[i] << 16) | (d[i + 1] << 8) | d[i + 2]);
        return seen.size > 2;
      }, null, { timeout: 15000 });
      colours = 3;
    } catch (e) { /* reported below */ }
    check(colours > 0 && errors.length === 0, `example ${name} draws in the page` + (errors.length ? ': ' + errors.join('; ') : ''));
    await page.close();
  }
}

async function game(context) {
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', e => errors.push(e.message));
  await page.goto(base + '/game/cargame.html');
  await page.waitForFunction(() => document.querySelectorAll('.qelma-window:not([hidden])').length === 2);
  const titles = await page.$$eval('.qelma-window h2', hs => hs.map(h => h.textContent));
  check(titles.join('|') === 'QELMA Graphics|QELMA Text', 'the two panels and their titles');
  const size = await page.$eval('.qelma-window canvas', c => [c.width, c.height]);
  check(size[0] === 601 && size[1] === 540 - 20, `drawing area is 601 x 540 less the menu bar (got ${size})`);
  const bars = await page.$$eval('.qelma-menubar', bs => bs.map(b => b.getBoundingClientRect().height));
  check(bars[0] === 20 && bars[1] === 0,
        `the drawing window's menu bar is as high as its client area leaves for it, the log has none (${bars})`);

  // The Run menu, drawn from the menu model.
  await page.click('.qelma-menu-head');
  const items = await page.$$eval('.qelma-popup > *', els => els.map(e => e.tagName === 'HR' ? '-' :
    (e.classList.contains('grayed') ? '~' : '') + (e.querySelector('.check').textContent ? '+' : '') +
    e.children[1].textContent + '|' + e.querySelector('.shortcut').textContent));
  check(items.includes('Animate|Ctrl+A') && items.includes('Record Script|Ctrl+R') &&
        items.includes('Quit|Ctrl+Q') && items.includes('~QELMA graphics and events library|') &&
        items.filter(i => i === '-').length >= 2, 'Run menu: shortcuts, check mark, separators, grayed lines');
  const mnemonic = await page.$eval('.qelma-menu-head u', u => u.textContent);
  check(mnemonic === 'R', 'Run menu: the mnemonic is underlined');
  await page.keyboard.press('Escape');
  // Alt+R opens the menu and L, Logging's mnemonic, flips its check mark.
  const logging = () => page.$eval('.qelma-popup', p => [...p.querySelectorAll('.qelma-item')]
    .find(e => e.children[1].textContent === 'Logging').querySelector('.check').textContent !== '');
  const wasLogging = await logging();
  await page.keyboard.press('Alt+r');
  const opened = await page.$eval('.qelma-popup', p => !p.hidden);
  await page.keyboard.press('l');
  await page.waitForFunction(was => [...document.querySelectorAll('.qelma-popup .qelma-item')]
    .find(e => e.children[1].textContent === 'Logging').querySelector('.check').textContent !== '' !== was,
    wasLogging, { timeout: 5000 }).catch(() => {});
  check(opened && (await logging()) !== wasLogging, 'Alt+R opens the Run menu and its mnemonic L chooses Logging');
  await page.keyboard.press('Control+L'); // and back
  await page.waitForFunction(was => [...document.querySelectorAll('.qelma-popup .qelma-item')]
    .find(e => e.children[1].textContent === 'Logging').querySelector('.check').textContent !== '' === was,
    wasLogging, { timeout: 5000 }).catch(() => {});
  check((await logging()) === wasLogging, 'Ctrl+L flips Logging back');

  // A second page of the program, opened before the recording: closing it
  // later must not wipe out what this page records.
  const second = await context.newPage();
  await second.goto(base + '/game/cargame.html');
  await second.waitForFunction(() => document.querySelectorAll('.qelma-window:not([hidden])').length === 2);
  await page.bringToFront();
  // Ctrl shortcuts are the program's, never the browser's.
  await page.evaluate(() => {
    window.prevented = [];
    addEventListener('keydown', e => { if (e.ctrlKey) window.prevented.push(e.defaultPrevented); });
  });
  const canvas = await page.$('.qelma-window canvas');
  await canvas.click({ position: { x: 300, y: 500 } });
  // Record: Ctrl+R, a click on Go, keypad digits, then play back with Ctrl+P.
  await page.keyboard.press('Control+R');
  const before = await instructionPixels(page);
  await canvas.click({ position: { x: 40, y: 35 } }); // "Go"
  for (const key of ['Numpad8', 'Numpad2', 'Numpad6'])
    await page.keyboard.press(key);
  await page.waitForTimeout(600);
  const playing = await instructionPixels(page);
  check(before > 50 && playing === 0, `Go starts the game: the instructions go (${before} -> ${playing} white pixels)`);
  // The Record item shows its check mark while recording.
  await page.click('.qelma-menu-head');
  const marked = await page.$$eval('.qelma-popup .qelma-item', els => els.filter(e =>
    e.querySelector('.check').textContent).map(e => e.children[1].textContent));
  check(marked.includes('Record Script'), 'Run menu: Record Script is checked while recording');
  await page.keyboard.press('Escape');
  await page.keyboard.press('Control+R'); // stop: the script file is closed and kept
  await page.waitForFunction(() => { try { return FS.readFile('QELMA.SCR').length > 0; } catch (e) { return false; } });
  const prevented = await page.evaluate(() => window.prevented);
  check(prevented.length >= 2 && prevented.every(p => p), 'Ctrl shortcuts do not act as the browser\'s');
  const script = await page.evaluate(() => { try { return FS.readFile('QELMA.SCR', { encoding: 'utf8' }); } catch (e) { return null; } });
  check(script !== null && script.length > 0, 'recording wrote QELMA.SCR');
  // The recording survives the second page's closing and a reload.
  await page.waitForTimeout(800); // the folder is saved when the script is closed
  await second.close({ runBeforeUnload: true });
  await page.waitForTimeout(500);
  await page.reload();
  await page.waitForFunction(() => document.querySelectorAll('.qelma-window:not([hidden])').length === 2);
  const again = await page.evaluate(() => { try { return FS.readFile('QELMA.SCR', { encoding: 'utf8' }); } catch (e) { return null; } });
  check(again !== null && again === script, 'QELMA.SCR survives a reload');
  // It plays back after the reload: Ctrl+P replays the click on Go.
  const waiting = await instructionPixels(page);
  await page.keyboard.press('Control+P');
  let replayed = false;
  try {
    await page.waitForFunction(() => {
      const c = document.querySelector('.qelma-window canvas');
      const d = c.getContext('2d').getImageData(10, 360, c.width - 20, 120).data;
      for (let i = 0; i < d.length; i += 4) if (d[i] === 255 && d[i + 1] === 255 && d[i + 2] === 255) return false;
      return true;
    }, null, { timeout: 10000 });
    replayed = true;
  } catch (e) { /* reported below */ }
  check(waiting > 50 && replayed, 'the reloaded script plays back: its click on Go starts the game');
  // A script loaded from disk may be anything: binary bytes and a line of
  // 100 000 characters play back without hanging the page.
  const junk = Buffer.concat([Buffer.from([0, 255, 1, 10, 200, 13, 10]), Buffer.alloc(100000, 0x41),
                              Buffer.from('\n'), require('crypto').randomBytes(200000)]);
  await page.setInputFiles('#qelma-load', { name: 'junk.scr', mimeType: 'application/octet-stream', buffer: junk });
  await page.waitForFunction(() => /Loaded junk\.scr/.test(document.getElementById('qelma-status').textContent));
  const loaded = await page.evaluate(() => FS.readFile('QELMA.SCR').length);
  check(loaded === junk.length, 'a loaded script is kept byte for byte');
  await page.keyboard.press('Control+P');
  await page.waitForTimeout(300);
  const delay = await page.evaluate(() => new Promise(r => {
    const t = performance.now();
    setTimeout(() => r(performance.now() - t), 0);
  }));
  check(delay < 1000, `the page stays responsive while a malformed script plays (${delay.toFixed(0)} ms)`);
  // Quit ends the program with code 0 and the page says so.
  await page.keyboard.press('Control+Q');
  const code = await waitEnded(page, 10000);
  check(code === 0, 'Ctrl+Q ends the program with code 0');
  const status = await page.textContent('#qelma-status');
  check(/ended/.test(status) && /Reload/.test(status), 'the page says the program ended and how to start again');
  check(errors.length === 0, 'no page errors' + (errors.length ? ': ' + errors.join('; ') : ''));
  await page.close();
}

let base;
(async () => {
  const server = await serve();
  base = 'http://127.0.0.1:' + server.address().port;
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'qelma-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.QELMA_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
    viewport: { width: 1400, height: 1000 },
  });
  try {
    await parity(context);
    await gtests(context);
    await examples(context);
    await game(context);
  } catch (e) {
    check(false, 'page tests ran to the end: ' + e.message);
  } finally {
    await context.close();
    server.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  console.log(failures ? `${failures} page test(s) failed` : 'all page tests passed');
  process.exit(failures ? 1 : 0);
})();
