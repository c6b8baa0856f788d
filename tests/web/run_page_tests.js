// Page tests of the web build, in the installed Chromium (never a downloaded
// one): the game's parity frames against the GDI references, and the car game
// used as a user would (menu, clicks, keypad, record, play back, reload).
// The recorded game's pictures are compared with the desktop builds': Qt
// (the ci preset's tree, or the one given) and, when the Windows build and
// its Wine prefix are there, GDI under Wine.
// The group engines plays one user's journey (engines.js) in the installed
// Chromium, Firefox ESR and WebKitGTK.
//   node tests/web/run_page_tests.js [build/web [build/ci [build/windows]]]
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');
const { engines, reportPage, numpadDigit, chromiumPath, chromiumArgs, POPUPS_OPEN, CANVAS_HAS_KEYS } = require('./engines');
const { check, finish, idle, poll, serve } = require('./page_support');

const root = path.resolve(__dirname, '..', '..');
const buildDir = path.resolve(process.argv[2] || path.join(root, 'build', 'web'));
const desktopDir = path.resolve(process.argv[3] || path.join(root, 'build', 'ci'));
const windowsDir = path.resolve(process.argv[4] || path.join(root, 'build', 'windows'));

// "P6\n<w> <h>\n255\n" then RGB triples.
function readPpm(bytes) {
  const header = /^\s*P6\s+(\d+)\s+(\d+)\s+255\s/.exec(bytes.toString('latin1', 0, 64));
  if (!header) throw new Error('not a P6 PPM');
  return { w: Number(header[1]), h: Number(header[2]), rgb: bytes.subarray(header[0].length) };
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
  for (const name of ['day', 'night', 'shapes', 'texts']) {
    const mine = readPpm(Buffer.from(await page.evaluate(n => Array.from(FS.readFile(n + '.ppm')), name)));
    const ref = readPpm(fs.readFileSync(path.join(root, 'tests', 'data', 'parity', name + '.ppm')));
    check(mine.w === ref.w && mine.h === ref.h, `parity ${name}: ${mine.w} x ${mine.h} like the reference`);
    let same = 0;
    const n = Math.min(mine.rgb.length, ref.rgb.length) / 3;
    for (let i = 0; i < n; i++)
      if (mine.rgb[3 * i] === ref.rgb[3 * i] && mine.rgb[3 * i + 1] === ref.rgb[3 * i + 1] &&
          mine.rgb[3 * i + 2] === ref.rgb[3 * i + 2]) same++;
    const share = same / (ref.w * ref.h);
    console.log(`     parity ${name}: ${(100 * share).toFixed(3)} % of pixels as the reference`);
    check(share === 1, `parity ${name}: every pixel as the reference (GDI's, or the layer's for shapes and texts)`);
    const log = await page.evaluate(n => FS.readFile(n + '.log', { encoding: 'utf8' }), name);
    const refLog = fs.readFileSync(path.join(root, 'tests', 'data', 'parity', name + '.log'), 'latin1');
    check(log === refLog, `parity ${name}: the same drawing calls as the reference`);
  }
  await page.close();
}

// GoogleTest programs compiled for the browser: each page's exit code is the
// verdict; the summary lines and any failure are shown.
async function gtests(context) {
  for (const name of ['web_platform_gdi_test', 'web_platform_window_test', 'web_cargame_play_test', 'web_raster_test']) {
    const page = await context.newPage();
    const lines = [];
    page.on('console', m => lines.push(m.text()));
    await page.goto(base + '/tests/web/' + name + '.html?arg=--gtest_color=no');
    const code = await waitEnded(page, 240000).catch(e => 'none: ' + e.message.split('\n')[0]);
    const summary = lines.filter(l => /^\[  (PASSED|FAILED) |^\[==========\] \d+ tests/.test(l));
    if (code !== 0) lines.filter(l => /Failure|FAILED|Expected|Which is|Value of/.test(l)).forEach(l => console.log('     ' + l));
    check(code === 0, `${name} in the page: ${summary.join('; ')} (exit code ${code})`);
    await page.close();
  }
}

// ---- the drawing area as the user sees it
const ORIGIN = { x: 300, y: 260 }; // canvas point (0, 0) in the 601 x 520 drawing area
function at(x, y) { return { x: ORIGIN.x + x, y: ORIGIN.y - y }; }

// The drawing area's pixels as RGBA bytes. `page` is Playwright's page or
// a driver of engines.js: both evaluate an expression.
async function grab(page, panel = 0) {
  const b64 = await page.evaluate(`(() => {
    const c = document.querySelectorAll('.qelma-window canvas')[${panel}];
    const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let s = '';
    for (let i = 0; i < d.length; i += 8192) s += String.fromCharCode.apply(null, d.subarray(i, i + 8192));
    return [c.width, c.height, btoa(s)];
  })()`);
  return { w: b64[0], h: b64[1], rgba: Buffer.from(b64[2], 'base64') };
}

// Pixels of one colour in a box of the drawing area.
function countColour(shot, [r, g, b], x0, y0, x1, y1) {
  let n = 0;
  for (let y = Math.max(y0, 0); y < Math.min(y1, shot.h); y++)
    for (let x = Math.max(x0, 0); x < Math.min(x1, shot.w); x++) {
      const i = 4 * (y * shot.w + x);
      n += shot.rgba[i] === r && shot.rgba[i + 1] === g && shot.rgba[i + 2] === b;
    }
  return n;
}

// Leftmost column of the player's red car in the road band, or -1.
function redCarColumn(shot) {
  for (let x = 0; x < shot.w; x++)
    for (let y = ORIGIN.y + 80; y < ORIGIN.y + 125; y++) {
      const i = 4 * (y * shot.w + x);
      if (shot.rgba[i] === 255 && shot.rgba[i + 1] === 0 && shot.rgba[i + 2] === 0) return x;
    }
  return -1;
}

// The lowest row of the red car in the road band, or -1: a lane lower is
// 10 rows lower.
function carBottom(shot) {
  for (let y = ORIGIN.y + 125; y >= ORIGIN.y + 80; y--)
    if (countColour(shot, RED, 0, y, shot.w, y + 1)) return y;
  return -1;
}

// Keys pressed as Playwright names them ('Control+P'), then idle.
async function press(page, keys) {
  await page.keyboard.press(keys);
  await idle(page);
}
const status = page => page.textContent('#qelma-status');

// Polls the drawing area until done(shot) holds; the last shot, or null.
async function until(page, done, ms) {
  const shot = await poll(() => grab(page), done, ms);
  return done(shot) ? shot : null;
}
// Checks that the drawing area comes to done(shot) within `ms`.
async function sees(page, done, ms, what) {
  check(await until(page, done, ms) !== null, what);
}

const RED = [255, 0, 0], ICE_BLUE = [153, 255, 255], WHITE = [255, 255, 255];
// Ice blue where the verdict stands, above the ground: the sky's share of
// that box (none by day, as the mountains cover it) is taken before the crash.
const verdictBox = shot => countColour(shot, ICE_BLUE, 240, ORIGIN.y + 18, 440, ORIGIN.y + 50);
// Pure white pixels in the lower part of the drawing area, where the game's
// start screen writes its instructions (white on the brown ground) and the
// running game draws none.
const instructions = shot => countColour(shot, WHITE, 10, 360, 591, 480);
const ORANGE = [255, 102, 0]; // the blast's outer ring; nothing else in the road band is orange
const blast = shot => countColour(shot, ORANGE, 0, ORIGIN.y + 40, 601, ORIGIN.y + 170);

// Key events sent as the keyboard sends them (Chromium's DevTools protocol).
async function keyEvents(page, events) {
  const cdp = await page.context().newCDPSession(page);
  for (const event of events) await cdp.send('Input.dispatchKeyEvent', event);
  await cdp.detach();
}

// A keypad digit typed with Num Lock on (the page's own keyboard would send
// the arrow key it is labelled with).
const keypad = (page, digit) => keyEvents(page, ['keyDown', 'keyUp'].map(type => ({ type, ...numpadDigit(digit, type) })));

// Expressions evaluated in the page, by Playwright or by WebDriver: the
// program's QELMA.SCR, and the copy of it in the browser's database, as a
// reload would find it (each a promise of its text, or null).
const SCRIPT_TEXT = `Promise.resolve((() => {
  try { return FS.readFile('QELMA.SCR', { encoding: 'utf8' }); } catch (e) { return null; } })())`;
const STORED_SCRIPT_TEXT = `new Promise(done => {
  const rq = IDBFS.dbs['/qelma'].transaction(['FILE_DATA'], 'readonly').objectStore('FILE_DATA').get('/qelma/QELMA.SCR');
  rq.onsuccess = () => done(rq.result ? new TextDecoder('latin1').decode(rq.result.contents) : null);
  rq.onerror = () => done(null);
})`;

const readScript = page => page.evaluate(SCRIPT_TEXT);

// The examples start in the page and draw something other than their window's
// background.
async function examples(context) {
  for (const name of ['first', 'hello', 'shapes', 'bounce']) {
    const page = await newPage(context);
    await page.goto(base + '/examples/qelma_' + name + '.html');
    const drawn = await page.waitForFunction(() => {
      const c = document.querySelector('.qelma-window:not([hidden]) canvas');
      if (!c) return false;
      const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      const seen = new Set();
      for (let i = 0; i < d.length; i += 16) seen.add((d[i] << 16) | (d[i + 1] << 8) | d[i + 2]);
      return seen.size > 2;
    }, null, { timeout: 15000 }).then(() => true, () => false);
    noErrors(page, `example ${name} draws in the page`, drawn);
    await page.close();
  }
}

// A new page of the context that keeps its uncaught errors; noErrors()
// checks that there were none (and that `ok` holds).
async function newPage(context) {
  const page = await context.newPage();
  page.errors = [];
  page.on('pageerror', e => page.errors.push(e.message));
  return page;
}
function noErrors(page, what, ok = true) {
  check(ok && !page.errors.length, what + (page.errors.length ? ': ' + page.errors.join('; ') : ''));
}

// The game's page loaded and its two windows shown.
const GAME_SHOWN = `document.querySelectorAll('.qelma-window:not([hidden])').length === 2`;
async function gameShown(page) {
  await page.waitForFunction(GAME_SHOWN);
}
async function showGame(page) {
  await page.goto(base + '/game/cargame.html');
  await gameShown(page);
}
async function gamePage(context) {
  const page = await newPage(context);
  await showGame(page);
  return page;
}

async function game(context) {
  const page = await gamePage(context);
  const titles = await page.$$eval('.qelma-window h2', hs => hs.map(h => h.textContent));
  check(titles.join('|') === 'QELMA Graphics|QELMA Text', 'the two panels and their titles');
  const size = await page.$eval('.qelma-window canvas', c => [c.width, c.height]);
  check(size[0] === 601 && size[1] === 540 - 20, `drawing area is 601 x 540 less the menu bar (got ${size})`);
  const bars = await page.$$eval('.qelma-menubar', bs => bs.map(b => b.getBoundingClientRect().height));
  check(bars[0] === 20 && bars[1] === 0,
        `the drawing window's menu bar is as high as its client area leaves for it, the log has none (${bars})`);

  // The Run menu, drawn from the menu model.
  await page.click('.qelma-menu-head');
  const items = await page.evaluate(MENU_ITEMS);
  check(items.includes('Animate|Ctrl+A') && items.includes('Record Script|Ctrl+R') &&
        items.includes('Quit|Ctrl+Q') && items.includes('~QELMA graphics and events library|') &&
        items.filter(i => i === '-').length >= 2, 'Run menu: shortcuts, check mark, separators, grayed lines');
  const mnemonic = await page.$eval('.qelma-menu-head u', u => u.textContent);
  check(mnemonic === 'R', 'Run menu: the mnemonic is underlined');
  await page.keyboard.press('Escape');
  // Alt+R opens the menu and L, Logging's mnemonic, flips its check mark.
  const logging = async () => (await marks(page)).includes('Logging');
  const wasLogging = await logging();
  await page.keyboard.press('Alt+r');
  const opened = await page.$eval('.qelma-popup', p => !p.hidden);
  await page.keyboard.press('l');
  check(opened && (await poll(logging, on => on !== wasLogging, 5000)) !== wasLogging,
        'Alt+R opens the Run menu and its mnemonic L chooses Logging');
  await page.keyboard.press('Control+L'); // and back
  check((await poll(logging, on => on === wasLogging, 5000)) === wasLogging, 'Ctrl+L flips Logging back');

  // A second page of the program, opened before the recording: closing it
  // later must not wipe out what this page records.
  const second = await gamePage(context);
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
  const before = instructions(await grab(page));
  await canvas.click({ position: { x: 40, y: 35 } }); // "Go"
  await page.waitForTimeout(600);
  const playing = instructions(await grab(page));
  check(before > 50 && playing === 0, `Go starts the game: the instructions go (${before} -> ${playing} white pixels)`);
  // Up (the lane it is in) and faster; the lower lane would meet the computer car.
  for (const digit of [8, 6]) await keypad(page, digit);
  // With Num Lock off a keypad key is the arrow it is labelled with: no
  // character for the program, as on Windows.
  await page.keyboard.press('Numpad4');
  // The Record item shows its check mark while recording.
  await page.click('.qelma-menu-head');
  check((await marks(page)).includes('Record Script'), 'Run menu: Record Script is checked while recording');
  await page.keyboard.press('Escape');
  await page.keyboard.press('Control+R'); // stop: the script file is closed and kept
  await page.waitForFunction(() => { try { return FS.readFile('QELMA.SCR').length > 0; } catch (e) { return false; } });
  const prevented = await page.evaluate(() => window.prevented);
  check(prevented.length >= 2 && prevented.every(p => p), 'Ctrl shortcuts do not act as the browser\'s');
  const script = await readScript(page);
  check(script !== null && script.length > 0, 'recording wrote QELMA.SCR');
  const keys = (script || '').split('\n').filter(l => /^QELMA_KBD/.test(l));
  check(keys.join(' ') === 'QELMA_KBD(56); QELMA_KBD(54);',
        `keypad digits reach the program, the keypad's arrow (Num Lock off) does not (${keys.join(' ')})`);
  // The recording survives the second page's closing and a reload.
  await page.waitForTimeout(800); // the folder is saved when the script is closed
  // The second page, brought back into view, sees the new recording, as a
  // second program on a desktop sees the file.
  await second.bringToFront();
  // Headless Chromium gives a page brought to the front no focus event of
  // its own; a browser's window gives one when the user switches to it.
  await second.evaluate(() => dispatchEvent(new Event('focus')));
  const shared = await poll(() => readScript(second), text => text === script, 5000) === script;
  check(shared, 'a page opened before the recording sees it when it comes back into view');
  await second.close({ runBeforeUnload: true });
  await page.waitForTimeout(500);
  await page.reload();
  await gameShown(page);
  const again = await readScript(page);
  check(again !== null && again === script, 'QELMA.SCR survives a reload');
  // It plays back after the reload: Ctrl+P replays the click on Go.
  const waiting = instructions(await grab(page));
  await page.keyboard.press('Control+P');
  const replayed = await until(page, s => instructions(s) === 0, 10000);
  check(waiting > 50 && replayed !== null, 'the reloaded script plays back: its click on Go starts the game');
  // A script loaded from disk may be anything: after a line that plays
  // (keypad 2: the red car drops into the lower lane), binary bytes and a
  // line of 100 000 characters play back without hanging the page.
  const junk = Buffer.concat([Buffer.from('QELMA_KBD(50);\n'), Buffer.from([0, 255, 1, 10, 200, 13, 10]),
                              Buffer.alloc(100000, 0x41), Buffer.from('\n'), require('crypto').randomBytes(200000)]);
  const upper = carBottom(await grab(page));
  await page.setInputFiles('#qelma-load', { name: 'junk.scr', mimeType: 'application/octet-stream', buffer: junk });
  await page.waitForFunction(() => /Loaded junk\.scr/.test(document.getElementById('qelma-status').textContent));
  const loaded = await page.evaluate(() => FS.readFile('QELMA.SCR').length);
  check(loaded === junk.length, 'a loaded script is kept byte for byte');
  await page.keyboard.press('Control+P');
  await page.waitForTimeout(300);
  const lower = carBottom(await grab(page));
  check(upper > 0 && lower === upper + 10, `the loaded script's first line plays: the red car drops a lane (${upper} -> ${lower})`);
  const delay = await page.evaluate(() => new Promise(r => {
    const t = performance.now();
    setTimeout(() => r(performance.now() - t), 0);
  }));
  check(delay < 1000, `the page stays responsive while a malformed script plays (${delay.toFixed(0)} ms)`);
  // Quit ends the program with code 0 and the page says so.
  await page.keyboard.press('Control+Q');
  const code = await waitEnded(page, 10000);
  check(code === 0, 'Ctrl+Q ends the program with code 0');
  const said = await status(page);
  check(/has ended \(code 0\)/.test(said), `the page says the program ended (${JSON.stringify(said)})`);
  // The ended program's panels: no menu opens, no panel has the keys.
  await page.click('.qelma-menu-head', { force: true });
  const after = await page.evaluate(() => ({
    popups: [...document.querySelectorAll('.qelma-popup')].filter(p => !p.hidden).length,
    keys: document.querySelectorAll('.qelma-has-keys').length,
  }));
  check(after.popups === 0 && after.keys === 0,
        `after the end the menus stay shut and no panel has the keys (${JSON.stringify(after)})`);
  // Starting again runs the program afresh, its menus open again.
  await page.click('#qelma-again');
  await gameShown(page);
  await page.waitForFunction(() => !Module.qelmaEnded && document.getElementById('qelma-status').textContent === '');
  await page.click('.qelma-menu-head');
  const reopened = await page.evaluate(POPUPS_OPEN);
  check(reopened === 1, 'Start it again runs the program again, and its Run menu opens');
  await page.keyboard.press('Escape');
  noErrors(page, 'no page errors');
  await page.close();
}


// A whole game played as a user plays it, recorded: Go, a lane change, a
// car placed ahead in the lower lane, the crash and its flashing verdict, a
// lane change during the crash, Go for the restart, the restart itself and
// Go for the next game. Returns the recorded script.
async function wholeGame(context) {
  const page = await gamePage(context);
  const canvas = await page.$('.qelma-window canvas');
  await canvas.click({ position: at(0, -200) }); // focus, on the ground: no event for the game's state
  const sky = verdictBox(await grab(page));
  const verdictPixels = shot => verdictBox(shot) - sky;
  await page.keyboard.press('Control+R');
  await canvas.click({ position: at(-250, 232) }); // "Go"
  await sees(page, s => instructions(s) === 0, 5000, 'whole game: Go starts it, the instructions go');
  await keypad(page, 2);
  await sees(page, s => countColour(s, RED, 0, ORIGIN.y + 100, 601, ORIGIN.y + 112) > 0, 5000,
             'whole game: keypad 2 takes the red car into the lower lane');
  let crashed = null;
  for (let tries = 0; tries < 6 && !crashed; tries++) {
    const x = redCarColumn(await grab(page));
    if (x >= 0 && x < 480) await canvas.click({ position: { x: x + 90, y: ORIGIN.y + 105 } });
    crashed = await until(page, s => blast(s) > 20, 2500);
  }
  check(crashed !== null, 'whole game: the red car meets the placed car, the blast shows');
  await sees(page, s => verdictPixels(s) > 100, 3000, 'whole game: the verdict shows');
  // A lane change during the crash moves the blast with the car. The blast
  // flashes between an orange disc and a ring twice its size, both around
  // the car: its middle row, not its top, is where the car is.
  const blastRows = s => {
    let top = -1, bottom = -1;
    for (let y = ORIGIN.y + 40; y < ORIGIN.y + 170; y++)
      if (countColour(s, ORANGE, 0, y, 601, y + 1)) {
        if (top < 0) top = y;
        bottom = y;
      }
    return top < 0 ? -1 : (top + bottom) / 2;
  };
  const before = blastRows(await grab(page));
  await keypad(page, 8);
  await sees(page, s => before >= 0 && blastRows(s) >= 0 && blastRows(s) < before, 3000,
             'whole game: keypad 8 during the crash moves the blast up with the car');
  // The flashing ends in the final picture: 32 redraws, the verdict standing.
  await page.waitForTimeout(3500);
  const final1 = verdictPixels(await grab(page));
  await page.waitForTimeout(300);
  const final2 = verdictPixels(await grab(page));
  check(final1 > 100 && final2 > 100, `whole game: the final verdict stands (${final1}, ${final2} pixels)`);
  await canvas.click({ position: at(-250, 232) }); // "Go": the crash ends, the restart is asked for
  await sees(page, s => verdictPixels(s) === 0 && blast(s) === 0 && instructions(s) > 50, 3000,
             'whole game: Go ends the crash; the instructions are back');
  await sees(page, s => countColour(s, RED, ORIGIN.x + 17, ORIGIN.y + 85, ORIGIN.x + 18, ORIGIN.y + 86) === 1, 3000,
             'whole game: the next tick restarts: the red car is back at its start');
  await canvas.click({ position: at(-250, 232) }); // "Go" again
  await sees(page, s => instructions(s) === 0, 3000, 'whole game: Go starts the next game');
  await press(page, 'Control+R');
  const script = await readScript(page);
  const lines = (script || '').split('\n');
  check(lines.filter(l => l === 'QELMA_MOUSE(-250, 232);').length === 3 && lines.includes('QELMA_KBD(50);') &&
        lines.includes('QELMA_KBD(56);') && lines.some(l => /^QELMA_PERIODIC\(\d+\);$/.test(l)),
        `whole game: the recording holds the three clicks on Go, both keys and the ticks (${lines.length - 1} lines)`);
  noErrors(page, 'whole game: no page errors');
  await page.close();
  return script || '';
}

// The game's page in a context of its own whose clock stands still: no tick
// comes but those the test lets through.
async function stillGame(browser) {
  const context = await browser.newContext({ viewport: { width: 1400, height: 1000 } });
  await context.clock.install({ time: 0 });
  await context.clock.pauseAt(1000);
  const page = await gamePage(context);
  return { context, page };
}

// The number of events a script plays before it ends, as the reader counts
// them: a periodic line gives its count, a mouse or key line one, an empty
// line none; another line, or the last line without its end, ends it.
function scriptEvents(text) {
  const lines = text.split('\n');
  lines.pop(); // after the last line end: never played
  let n = 0;
  for (const line of lines) {
    if (line === '') continue;
    const kind = line[6];
    if (kind === 'P') n += Number((/\d+/.exec(line.slice(6)) || ['0'])[0]);
    else if (kind === 'M' || kind === 'K') n += 1;
    else break;
  }
  return n;
}

// The recorded game stepped through event by event with Ctrl+O in a fresh
// page whose clock stands still, so that no tick comes between the events,
// and the drawing area compared with the desktop build's pictures of the
// same script at every tenth event and the last.
async function replayAgainstDesktop(script) {
  const events = scriptEvents(script);
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'qelma-frames-'));
  fs.writeFileSync(path.join(work, 'recorded.scr'), script);
  const EVERY = 10;
  const frameArgs = dir => [path.join(work, 'recorded.scr'), path.join(work, dir), String(events), String(EVERY), '601', '520'];
  // The desktop builds that draw the same script: Qt (the ci tree), and GDI
  // under Wine when the Windows build and its Wine prefix are there.
  const refs = [];
  const qtTool = path.join(desktopDir, 'tests', 'parity', 'parity_script_frames');
  if (fs.existsSync(qtTool)) {
    // The same letters as the page's: every pixel, texts included.
    refs.push({ name: 'Qt', dir: 'qt', cmd: qtTool, args: [...frameArgs('qt'), '--with-texts'],
                env: { QT_QPA_PLATFORM: 'offscreen' }, mark: 1, what: 'texts included' });
  } else {
    check(false, `replay against the desktop: ${qtTool} is missing; build the ci preset first`);
  }
  const winTool = path.join(windowsDir, 'tests', 'parity', 'parity_script_frames.exe');
  const prefix = path.join(windowsDir, 'wineprefix');
  if (fs.existsSync(winTool) && fs.existsSync(path.join(prefix, 'system.reg'))) {
    // GDI's own letters differ from the layer's: its texts are left out.
    refs.push({ name: 'GDI under Wine', dir: 'gdi', cmd: 'xvfb-run', args: ['-a', 'wine', winTool, ...frameArgs('gdi')],
                env: { WINEPREFIX: prefix, WINEDEBUG: '-all' }, mark: 0.995, what: 'its texts aside' });
  } else {
    console.log(`     replay: no comparison with GDI (needs ${winTool} and a Wine prefix in ${prefix})`);
  }
  const drawn = refs.filter(ref => {
    try {
      require('child_process').execFileSync(ref.cmd, ref.args, { env: { ...process.env, ...ref.env }, stdio: 'pipe', timeout: 300000 });
      return true;
    } catch (e) {
      check(false, `replay against ${ref.name}: it could not play the script: ` + String(e.stderr || e.message));
      return false;
    }
  });
  let keep = false;
  const browser = await chromium.launch({ executablePath: chromiumPath, headless: true, args: chromiumArgs });
  try {
    const { page } = await stillGame(browser);
    await page.setInputFiles('#qelma-load', { name: 'recorded.scr', mimeType: 'text/plain', buffer: Buffer.from(script) });
    await idle(page);
    for (const ref of drawn) { ref.worst = 1; ref.compared = 0; }
    let stepped = 0;
    for (let n = 1; n <= events; n++) {
      await press(page, 'Control+O');
      stepped = n;
      if (n % EVERY !== 0 && n !== events) continue;
      const mine = await grab(page);
      for (const ref of drawn) {
        let frame;
        try { frame = readPpm(fs.readFileSync(path.join(work, ref.dir, `frame_${n}.ppm`))); } catch (e) { continue; }
        let same = 0, counted = 0;
        for (let i = 0; i < frame.w * frame.h && i < mine.w * mine.h; i++) {
          const r = frame.rgb[3 * i], g = frame.rgb[3 * i + 1], b = frame.rgb[3 * i + 2];
          if (r === 255 && g === 0 && b === 255) continue; // left out: outside its canvas, or a text
          counted++;
          same += mine.rgba[4 * i] === r && mine.rgba[4 * i + 1] === g && mine.rgba[4 * i + 2] === b;
        }
        ref.compared++;
        const share = counted ? same / counted : 0;
        ref.worst = Math.min(ref.worst, share);
        if (share < ref.mark) { // kept beside the reference for a look
          const rgb = Buffer.alloc(mine.w * mine.h * 3);
          for (let i = 0; i < mine.w * mine.h; i++) mine.rgba.copy(rgb, 3 * i, 4 * i, 4 * i + 3);
          fs.writeFileSync(path.join(work, ref.dir, `page_${n}.ppm`),
                           Buffer.concat([Buffer.from(`P6\n${mine.w} ${mine.h}\n255\n`), rgb]));
          keep = true;
        }
      }
    }
    check(stepped === events, `replay: the page stepped through all ${events} events with Ctrl+O`);
    for (const ref of drawn) {
      console.log(`     replay: ${ref.compared} pictures compared with ${ref.name}'s, ` +
                  `the least alike ${(100 * ref.worst).toFixed(3)} % the same`);
      check(ref.compared === Math.ceil(events / EVERY) && ref.compared >= 4,
            `replay against ${ref.name}: every tenth picture of ${events} events compared (${ref.compared})`);
      check(ref.worst >= ref.mark, `replay against ${ref.name}: each picture at least ${100 * ref.mark} % the same, ${ref.what}` +
            (ref.worst < ref.mark ? ` (those below it are kept in ${work}/${ref.dir} as page_N.ppm beside frame_N.ppm)` : ''));
    }
  } finally {
    await browser.close();
    if (!keep) fs.rmSync(work, { recursive: true, force: true });
  }
}

// A waiting program costs the page nothing: no busy loop and no polling;
// the 100 ms tick is the only callback that fires while the game animates,
// and none fires while it waits for input with animation halted (the
// session's timer runs on, but its tick waits for the input).
async function waiting(context) {
  const page = await context.newPage();
  await page.addInitScript(() => {
    window.qelmaFired = 0;
    for (const name of ['setTimeout', 'setInterval', 'requestAnimationFrame']) {
      const original = window[name];
      window[name] = function (callback, ...rest) {
        return original.call(this, function (...args) { window.qelmaFired++; return callback.apply(this, args); }, ...rest);
      };
    }
    addEventListener('message', () => { window.qelmaFired++; }, true);
  });
  await showGame(page);
  const firedIn = async ms => {
    const before = await page.evaluate(() => window.qelmaFired);
    await page.waitForTimeout(ms);
    return (await page.evaluate(() => window.qelmaFired)) - before;
  };
  const animating = await firedIn(1000);
  await press(page, 'Control+H');
  await page.waitForTimeout(100); // the last picture's show
  const halted = await firedIn(1000);
  check(animating >= 1 && animating <= 12, `while the game animates only the tick fires (${animating} callbacks in 1 s)`);
  check(halted === 0, `a program waiting for input with animation halted runs nothing, not even its timer (${halted} callbacks in 1 s)`);
  await page.close();
}

// A script recorded on Windows, whose text mode ends its lines with CR LF,
// loaded into the page, plays as it does there: the click on Go starts the game.
async function windowsScript(context) {
  const page = await gamePage(context);
  const script = 'QELMA_PERIODIC(3);\r\nQELMA_MOUSE(-250, 232);\r\nQELMA_KBD(54);\r\nQELMA_PERIODIC(2);\r\n';
  await page.setInputFiles('#qelma-load', { name: 'windows.scr', mimeType: 'text/plain', buffer: Buffer.from(script) });
  await page.waitForFunction(() => /Loaded windows\.scr/.test(document.getElementById('qelma-status').textContent));
  check(instructions(await grab(page)) > 50, 'a script from Windows: the game waits for Go before it plays');
  await page.keyboard.press('Control+P');
  await sees(page, s => instructions(s) === 0, 5000,
             'a script from Windows (CR LF line ends) plays: its click on Go starts the game');
  await page.close();
}

// A fresh game page that records a click on "New Car" and keypad digits,
// and is left recording.
async function recordNewCarAndKeys(context, digits) {
  const page = await gamePage(context);
  const canvas = await page.$('.qelma-window canvas');
  await canvas.click({ position: at(0, -200) });
  await page.keyboard.press('Control+R');
  await canvas.click({ position: at(-230, 130) }); // "New Car"
  for (const digit of digits) await keypad(page, digit);
  await idle(page);
  return { page, canvas };
}

// A recording whose page goes away keeps every line the program wrote: a
// reload during the recording, and a page frozen in the background and never
// woken again, as a browser does with tabs it discards.
async function recordingsSurvive(context) {
  for (const how of ['reload', 'freeze']) {
    const { page } = await recordNewCarAndKeys(context, [2, 8]);
    let reader = page;
    if (how === 'reload') {
      await page.reload();
    } else {
      // Headless Chromium keeps every page visible: the page is told it is
      // hidden as a browser tells a tab sent to the background, and then
      // frozen, so that nothing of it runs again.
      await page.evaluate(() => {
        Object.defineProperty(document, 'visibilityState', { configurable: true, get: () => 'hidden' });
        document.dispatchEvent(new Event('visibilitychange'));
      });
      const cdp = await context.newCDPSession(page);
      await cdp.send('Page.setWebLifecycleState', { state: 'frozen' });
      reader = await context.newPage();
      await reader.goto(base + '/game/cargame.html');
    }
    await gameShown(reader);
    const lines = ((await readScript(reader)) || '').split('\n');
    const kept = ['QELMA_MOUSE(-230, 130);', 'QELMA_KBD(50);', 'QELMA_KBD(56);'].filter(l => lines.includes(l));
    check(kept.length === 3, `a recording survives a ${how === 'reload' ? 'reload' : 'background page frozen'} ` +
          `during the recording: ${kept.length} of its 3 lines of input kept`);
    if (reader !== page) await reader.close();
    await page.close();
  }
}

// ---- the script file as the page and its controls handle it

// A file put into QELMA.SCR with the page's Load control; the status line
// names it whether it was loaded or refused.
async function loadScript(page, name, text) {
  await page.setInputFiles('#qelma-load', { name, mimeType: 'text/plain', buffer: Buffer.from(text) });
  await page.waitForFunction(n => document.getElementById('qelma-status').textContent.includes(n), name);
  await idle(page);
}

const storedScript = page => page.evaluate(STORED_SCRIPT_TEXT);

// The Run menu's lines: '-' for a separator, '~' before a grayed one and '+'
// before a checked one, then its text and shortcut; and its checked items.
const MENU_ITEMS = `[...document.querySelectorAll('.qelma-popup > *')].map(e => e.tagName === 'HR' ? '-' :
  (e.classList.contains('grayed') ? '~' : '') + (e.querySelector('.check').textContent ? '+' : '') +
  e.children[1].textContent + '|' + e.querySelector('.shortcut').textContent)`;
async function marks(page) {
  return page.evaluate(`[...document.querySelectorAll('.qelma-popup .qelma-item')]
    .filter(e => e.querySelector('.check').textContent).map(e => e.children[1].textContent).sort().join(',')`);
}

// Ctrl with the key at `code` that the layout labels `key`, as the browser
// reports it on such a keyboard.
async function ctrlKey(page, key, code) {
  const ctrl = { key: 'Control', code: 'ControlLeft', windowsVirtualKeyCode: 17 };
  const letter = { key, code, windowsVirtualKeyCode: key.toUpperCase().charCodeAt(0), modifiers: 2 };
  await keyEvents(page, [{ type: 'rawKeyDown', modifiers: 2, ...ctrl }, { type: 'rawKeyDown', ...letter },
                         { type: 'keyUp', ...letter }, { type: 'keyUp', ...ctrl }]);
  await idle(page);
}

// Pixels of the text panel that are not its white background.
async function logInk(page) {
  const shot = await grab(page, 1);
  return shot.w * shot.h - countColour(shot, WHITE, 0, 0, shot.w, shot.h);
}

const inputLines = text => (text || '').split('\n').filter(l => /^QELMA_(MOUSE|KBD)/.test(l)).join(' ');

// Checks that the status line empties within 2 s (and that `ok` holds).
async function statusGoes(page, what, ok = true) {
  const left = await poll(() => status(page), text => text === '', 2000);
  check(ok && left === '', `${what} ("${left}")`);
}

// Load, Save, focus and playback while a recording or a playback holds
// QELMA.SCR: nothing recorded is lost or mixed, a loaded script plays, and
// each status line goes when what it reports is over.
async function scriptFiles(context) {
  const { page, canvas } = await recordNewCarAndKeys(context, [8, 2]);
  const recorded = 'QELMA_MOUSE(-230, 130);\nQELMA_KBD(56);\nQELMA_KBD(50);\n';
  const stored = await poll(() => storedScript(page), text => inputLines(text) === inputLines(recorded));
  check(inputLines(stored) === inputLines(recorded),
        `during a recording the stored QELMA.SCR holds every line so far (${JSON.stringify(stored)})`);
  const sofar = await readScript(page);
  const other = Array.from({ length: 14 }, (_, i) => `QELMA_MOUSE(${i}, ${i});\n`).join('');
  await loadScript(page, 'fourteen.scr', other);
  const refused = await status(page);
  check(/Not loaded/.test(refused) && (await readScript(page)) === sofar,
        `a load during a recording is refused and says why, the recording untouched ("${refused}")`);
  check(await page.evaluate(CANVAS_HAS_KEYS), 'after the Load control the keys are the drawing panel\'s again');
  // A focus event and Ctrl+R in one turn: the stored snapshot read for the
  // focus is older than the file the recording closes, and must not win.
  await page.evaluate(() => {
    dispatchEvent(new Event('focus'));
    const key = (type, key, code) => dispatchEvent(new KeyboardEvent(type, { key, code, ctrlKey: type === 'keydown' }));
    key('keydown', 'Control', 'ControlLeft'); key('keydown', 'r', 'KeyR'); key('keyup', 'Control', 'ControlLeft');
  });
  await idle(page);
  await page.waitForTimeout(500);
  const stopped = (await readScript(page)) || '';
  check(stopped.startsWith(sofar) && inputLines(stopped) === inputLines(recorded) && !(await marks(page)).includes('Record'),
        'a focus event as the recording stops keeps the fresh recording, not an older stored copy');
  await statusGoes(page, 'the refusal goes from the status line once the recording has stopped');

  // A playback that reached its end, then another script loaded: Ctrl+P
  // plays the new one from its first line.
  await loadScript(page, 'ground.scr', 'QELMA_MOUSE(0, -200);\n');
  const told = await status(page);
  await press(page, 'Control+P');
  await statusGoes(page, `"Loaded" stays until the script is played ("${told}"), then goes`,
                   /Loaded ground\.scr/.test(told));
  await loadScript(page, 'go.scr', 'QELMA_MOUSE(-250, 232);\n');
  await page.keyboard.press('Control+P');
  await sees(page, s => instructions(s) === 0, 5000,
             'a script loaded after a playback ended plays from its first line: its click on Go starts the game');
  // A file that is not a script says so in the log.
  const inkBefore = await logInk(page);
  await loadScript(page, 'notes.txt', 'This is not a script\n');
  await press(page, 'Control+P');
  const inkAfter = await logInk(page);
  check(inkAfter > inkBefore, `a file that is not a script, played, writes its message in the text panel (${inkBefore} -> ${inkAfter})`);

  // Save during a recording: every line so far, the running ticks too; the
  // Ctrl shortcuts still reach the program while the button has the focus.
  await page.keyboard.press('Control+A');
  await page.keyboard.press('Control+R');
  await canvas.click({ position: at(-250, 207) }); // "Pause"
  await keypad(page, 8);
  await keypad(page, 6);
  await page.waitForTimeout(700);
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#qelma-save')]);
  const saved = fs.readFileSync(await download.path(), 'latin1');
  check(inputLines(saved) === 'QELMA_MOUSE(-250, 207); QELMA_KBD(56); QELMA_KBD(54);' && /QELMA_PERIODIC\(\d+\);\n$/.test(saved),
        `Save during a recording downloads every line so far and the running ticks (${JSON.stringify(saved)})`);
  check(await page.evaluate(CANVAS_HAS_KEYS), 'after the Save button the keys are the drawing panel\'s again');
  await page.waitForTimeout(700);
  const during = await status(page);
  check(/recorded so far/.test(during), `the save's note stays while the recording goes on ("${during}")`);
  await page.focus('#qelma-save');
  await press(page, 'Control+R');
  const after = await readScript(page);
  check(!(await marks(page)).includes('Record') && after.startsWith(saved.slice(0, saved.lastIndexOf('QELMA_PERIODIC'))),
        'Ctrl+R with the Save button focused stops the recording, which keeps what was saved');
  await statusGoes(page, 'the save\'s note goes when the recording stops');
  await page.close();
}

// Reloaded during a run of ticks, the recording keeps them: replayed, it
// ends on the picture the user last saw. The page's clock stands still, so
// that the ticks are exactly those let through.
async function reloadKeepsTicks() {
  const browser = await chromium.launch({ executablePath: chromiumPath, headless: true, args: chromiumArgs });
  try {
    const { context, page } = await stillGame(browser);
    await page.keyboard.press('Control+R');
    await page.click('.qelma-window canvas', { position: at(-250, 232) }); // "Go"
    for (let i = 0; i < 15; i++) {
      await context.clock.runFor(100);
      await idle(page);
    }
    const seen = await grab(page);
    await page.reload();
    await gameShown(page);
    // The reloaded program gives the browser a turn while it starts; 50 ms
    // let that through, short of the first tick.
    await context.clock.runFor(50);
    await idle(page);
    const script = await readScript(page);
    await press(page, 'Control+P');
    const replayed = await grab(page);
    check(/QELMA_PERIODIC\(1[45]\);\n$/.test(script || '') && Buffer.compare(seen.rgba, replayed.rgba) === 0,
          `a reload during a run of ticks keeps them: the replay ends on the picture last seen (${JSON.stringify(script)})`);
  } finally {
    await browser.close();
  }
}

// Shortcut letters as the keyboard layout labels them; Tab and the panel
// that has the keys.
// In another page's frame the game leaves the keyboard with the host until a
// panel is clicked, and takes it again after the user typed elsewhere; on a
// window narrower than the screen the page does not scroll sideways.
async function embedded(context) {
  const page = await context.newPage();
  await page.setViewportSize({ width: 1366, height: 768 });
  await showGame(page);
  const widths = await page.evaluate(() => [document.documentElement.scrollWidth, document.documentElement.clientWidth,
    ...[...document.querySelectorAll('.qelma-window')].map(w => w.scrollWidth - w.clientWidth)]);
  check(widths[0] <= widths[1] && widths.slice(2).every(over => over <= 0),
        `on a 1366-pixel window the page is no wider than the window, and each panel fits whole (${widths.join(' / ')})`);
  // The host is on the game's own site: a frame from another site may not
  // take the focus in some engines anyway. Chromium keeps a frame from
  // taking it without a click in any case, so the frame's attempts to take
  // it are counted too, read before the first click in the frame (any
  // call counts: a page Playwright opened has the user's activation already).
  await page.addInitScript(() => {
    window.qelmaFocusTaken = 0;
    const focus = HTMLElement.prototype.focus;
    HTMLElement.prototype.focus = function () {
      if (window.self !== window.top) window.qelmaFocusTaken++;
      return focus.apply(this, arguments);
    };
  });
  await page.setContent(`<input id="search"><iframe id="game" src="${base}/game/cargame.html" width="1300" height="900"></iframe>`);
  await page.focus('#search');
  const frame = await (await page.$('#game')).contentFrame();
  await gameShown(frame);
  await page.keyboard.type('abc');
  const host = await page.$eval('#search', i => i.value);
  const gameHasKeys = () => frame.evaluate(() => document.hasFocus() && document.activeElement.tagName === 'CANVAS');
  const taken = await frame.evaluate(() => window.qelmaFocusTaken);
  check(host === 'abc' && !(await gameHasKeys()) && taken === 0,
        `a game in a frame leaves the host's typing alone as it loads ("${host}", ${taken} tries to take the focus)`);
  await frame.click('.qelma-window canvas', { position: at(0, -200) });
  const clicked = await gameHasKeys();
  await page.click('#search');
  await page.keyboard.type('d');
  const typedAgain = await page.$eval('#search', i => i.value);
  await frame.click('.qelma-window canvas', { position: at(0, -200) });
  check(clicked && typedAgain === 'abcd' && (await gameHasKeys()),
        `a click on the game's panel gives it the keys, again after typing in the host (${clicked}, "${typedAgain}")`);
  await page.close();
}

// On a tablet: the page fits a 768-pixel screen, and a finger's press is a
// click as it lands, on the game's Go and on the Run menu.
async function touch() {
  const browser = await chromium.launch({ executablePath: chromiumPath, headless: true, args: chromiumArgs });
  try {
    const context = await browser.newContext({ viewport: { width: 768, height: 1024 }, hasTouch: true, isMobile: true });
    const page = await gamePage(context);
    const fit = await page.evaluate(() => [document.documentElement.scrollWidth, document.documentElement.clientWidth]);
    check(fit[0] <= fit[1], `on a 768 x 1024 tablet the page does not scroll sideways (${fit.join(' / ')})`);
    const cdp = await context.newCDPSession(page);
    // A finger on an element, at (x, y) in it or its middle: the element's
    // box and the value that `seen` polls for until done(value), before the
    // finger lifts.
    const finger = async (selector, seen, done, x, y) => {
      const box = await (await page.$(selector)).boundingBox();
      const touchPoints = [{ x: box.x + (x ?? box.width / 2), y: box.y + (y ?? box.height / 2) }];
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints });
      await idle(page);
      const value = await poll(seen, done);
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
      return [value, box];
    };
    const shown = what => async () => what(await grab(page));
    const before = instructions(await grab(page));
    const [pressed] = await finger('.qelma-window canvas', shown(instructions), n => n === 0, 40, 35); // "Go"
    check(before > 50 && pressed === 0, `a finger on Go starts the game before it lifts (${before} -> ${pressed} white pixels)`);
    // The keypad's 2 and 8 move the red car a lane down and up again, as
    // they land, once the computer car coming in the lower lane is past.
    const going = redCarColumn(await grab(page));
    const past = await until(page, s => redCarColumn(s) >= going + 40, 5000);
    const lanes = [carBottom(past || await grab(page))], keys = [];
    for (const [digit, lane] of [[2, lanes[0] + 10], [8, lanes[0]]]) {
      const [bottom, key] = await finger(`.qelma-keypad button:text-is("${digit}")`, shown(carBottom), row => row === lane);
      lanes.push(bottom);
      keys.push(key);
    }
    check(keys.every(k => k.width >= 44 && k.height >= 44 && k.y + k.height <= 1024),
          `the keypad's 2 and 8 are on the screen and big enough for a finger ` +
          `(${keys.map(k => `${k.width} x ${k.height} at ${k.y}`).join(', ')})`);
    check(lanes[0] > 0 && lanes[1] === lanes[0] + 10 && lanes[2] === lanes[0],
          `on a touch screen the keypad is shown and its 2 and 8 steer the red car (${lanes.join(' -> ')})`);
    const [opened] = await finger('.qelma-menu-head', () => page.evaluate(POPUPS_OPEN), n => n === 1);
    const stays = await page.evaluate(POPUPS_OPEN);
    check(opened === 1 && stays === 1, `a finger on Run opens the menu as it lands, and it stays open (${opened}, ${stays})`);
  } finally {
    await browser.close();
  }
}

async function keys(context) {
  const page = await gamePage(context);
  await page.click('.qelma-window canvas', { position: at(0, -200) });
  // The code of the key that each layout labels with the letter.
  const layouts = {
    AZERTY: { l: 'KeyL', r: 'KeyR', a: 'KeyQ' },
    QWERTZ: { l: 'KeyL', r: 'KeyR', a: 'KeyA' },
    Dvorak: { l: 'KeyP', r: 'KeyO', a: 'KeyA' },
  };
  const start = await marks(page);
  for (const [name, code] of Object.entries(layouts)) {
    await ctrlKey(page, 'l', code.l);
    const logging = await marks(page);
    await ctrlKey(page, 'r', code.r);
    const recording = await marks(page);
    await ctrlKey(page, 'a', code.a); // animates; by position on AZERTY it would quit
    await ctrlKey(page, 'r', code.r);
    await ctrlKey(page, 'l', code.l);
    const ended = await page.evaluate(() => !!Module.qelmaEnded);
    check(logging !== start && !logging.includes('Playback') && recording.includes('Record') &&
          !ended && (await marks(page)) === start,
          `${name}: Ctrl+L, Ctrl+R and Ctrl+A act by the letters on the keys (${start} / ${logging} / ${recording})`);
  }
  // Tab leaves the drawing panel for the next place on the page; the panel
  // with the keys shows it, a page control takes it from both. Each step:
  // the panels that show the keys, and whether the drawing panel has them.
  const hasKeys = () => page.evaluate(`[...document.querySelectorAll('.qelma-window')]
    .map(w => w.classList.contains('qelma-has-keys')).join() + (${CANVAS_HAS_KEYS} ? ' canvas' : '')`);
  const seen = [await hasKeys()];
  for (const step of [() => page.keyboard.press('Tab'), () => page.focus('#qelma-save')]) seen.push(await step().then(hasKeys));
  check(seen.join(' / ') === 'true,false canvas / false,true / false,false',
        `Tab moves on from the drawing panel; the title of the panel with the keys shows it (${seen.join(' / ')})`);
  await page.close();
}

// What qelma-replay --gif makes of the script on the desktop (nothing when
// it cannot).
function desktopGif(program, script) {
  const scriptFile = path.join(os.tmpdir(), `qelma-gif-${process.pid}.SCR`);
  const desktop = path.join(os.tmpdir(), `qelma-gif-${process.pid}.gif`);
  fs.writeFileSync(scriptFile, script);
  const ran = require('child_process').spawnSync(path.join(desktopDir, 'replay', 'qelma-replay'),
    ['--gif', desktop, scriptFile, '--', path.join(desktopDir, program)]);
  const made = ran.status === 0 ? fs.readFileSync(desktop) : Buffer.alloc(0);
  fs.rmSync(desktop, { force: true });
  fs.rmSync(scriptFile, { force: true });
  return made;
}

// Make a GIF: the page replays QELMA.SCR in a worker into the very GIF that
// qelma-replay --gif makes of it on the desktop, byte for byte (the game's
// frames all differ; the shapes example's repeat and merge into one); a
// script it cannot play gets no GIF but the line that stopped it.
async function gifOfScript(context) {
  const page = await context.newPage();
  const cases = [
    { program: 'game/cargame', script: fs.readFileSync(path.join(root, 'docs', 'scripts', 'cargame.SCR'), 'latin1') },
    { program: 'examples/qelma_shapes', script: 'QELMA_PERIODIC(5);\n' },
  ];
  for (const { program, script } of cases) {
    await page.goto(`${base}/${program}.html`);
    await gameShown(page);
    await loadScript(page, 'run.scr', script);
    const began = Date.now();
    const [download] = await Promise.all([page.waitForEvent('download', { timeout: 60000 }), page.click('#qelma-gif')]);
    const made = fs.readFileSync(await download.path());
    const took = Date.now() - began;
    const told = await status(page);
    check(/^Made QELMA\.gif: \d+ frames?, /.test(told) &&
          await page.evaluate(() => document.activeElement === document.querySelector('.qelma-window canvas')),
          `${program}: Make a GIF downloads QELMA.gif, says so, and leaves the keys with the drawing panel ("${told}")`);
    const expected = desktopGif(program, script);
    check(made.length > 0 && made.equals(expected),
          `${program}: the page's GIF is qelma-replay's, byte for byte (${made.length} / ${expected.length} bytes, made in ${took} ms)`);
  }
  await loadScript(page, 'broken.scr', 'QELMA_PERIODIC(3);\nQELMA_NOTHING(1);\n');
  await page.click('#qelma-gif');
  await page.waitForFunction(() => /^No GIF/.test(document.getElementById('qelma-status').textContent));
  const refused = await status(page);
  check(/QELMA\.SCR line 2: Unknown event/.test(refused), `a script with a line it cannot play gets no GIF, and the line ("${refused}")`);
  await page.close();
}

// At a device pixel ratio of 1.5 (Chromium's 150 % zoom), 2 and 1 each
// canvas pixel is a whole square of device pixels, the same colour as the
// program drew, and a press lands on the canvas pixel under the pointer;
// the canvas follows a change of ratio while the page is open.
async function scale() {
  const browser = await chromium.launch({ executablePath: chromiumPath, headless: true,
                                          args: [...chromiumArgs, '--force-color-profile=srgb'] });
  const look = async (page, dpr, k, when, cdp) => {
    // (Playwright's own screenshot puts back the ratio the page was opened with.)
    const png = cdp ? (await cdp.send('Page.captureScreenshot')).data : (await page.screenshot()).toString('base64');
    // The screenshot read in the page as it is (no colour conversion, no
    // premultiplied alpha), each canvas pixel against the k x k device
    // pixels from where the canvas starts.
    const { wrong, ox, oy } = await page.evaluate(async ([png, dpr, k]) => {
      const c = document.querySelector('.qelma-window canvas'), r = c.getBoundingClientRect();
      const ox = Math.round(r.left * dpr), oy = Math.round(r.top * dpr), w = c.width * k, h = c.height * k;
      const image = await createImageBitmap(new Blob([Uint8Array.from(atob(png), ch => ch.charCodeAt(0))]),
                                            { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
      if (ox + w > image.width || oy + h > image.height) return { wrong: `all ${w * h}, beyond the screenshot,`, ox, oy };
      const shot = new OffscreenCanvas(image.width, image.height).getContext('2d', { colorSpace: 'srgb' });
      shot.drawImage(image, 0, 0);
      const s = shot.getImageData(ox, oy, w, h).data, d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      let wrong = 0;
      for (let y = 0; y < h; y++)
        for (let x = 0; x < w; x++) {
          const i = 4 * (y * w + x), j = 4 * (Math.floor(y / k) * c.width + Math.floor(x / k));
          wrong += s[i] !== d[j] || s[i + 1] !== d[j + 1] || s[i + 2] !== d[j + 2];
        }
      return { wrong, ox, oy };
    }, [png, dpr, k]);
    check(wrong === 0, `at ${dpr * 100} %${when} every canvas pixel is ${k} x ${k} device pixels of its colour (${wrong} wrong)`);
    // Presses at the middle and the far corner of device pixels.
    await page.evaluate(() => {
      // The export itself: Module's entry replaces itself on its first call.
      const press = Module.asm.qelma_web_mouse;
      Module._qelma_web_mouse = (id, message, x, y) => { window.qelmaPressed = [x, y]; return press(id, message, x, y); };
    });
    const landed = [];
    for (const [x, y, d] of [[0, 0, 0], [600, 519, k - 1], [301, 77, k >> 1], [17, 400, k - 1]]) {
      await page.mouse.click((ox + x * k + d + 0.5) / dpr, (oy + y * k + d + 0.5) / dpr);
      const got = await page.evaluate(() => window.qelmaPressed);
      if (!got || got[0] !== x || got[1] !== y) landed.push(`(${x},${y}) -> ${got}`);
    }
    check(!landed.length, `at ${dpr * 100} %${when} a press lands on the canvas pixel under the pointer ${landed.join(' ')}`);
  };
  try {
    for (const [dpr, k] of [[1.5, 2], [2, 2], [1, 1]]) {
      const page = await (await browser.newContext({ viewport: { width: 1400, height: 1000 },
                                                     deviceScaleFactor: dpr })).newPage();
      await page.goto(base + '/examples/qelma_shapes.html'); // a picture that holds still
      await page.waitForFunction(() => document.querySelector('.qelma-window:not([hidden])'));
      await idle(page);
      await look(page, dpr, k, '');
      if (dpr === 1) { // zoomed in while the page is open: the browser tells with a resize
        const cdp = await page.context().newCDPSession(page);
        await cdp.send('Emulation.setDeviceMetricsOverride', { width: 1400, height: 1000, deviceScaleFactor: 1.5, mobile: false });
        await page.waitForFunction(() => devicePixelRatio === 1.5);
        await page.evaluate(() => dispatchEvent(new Event('resize')));
        await page.evaluate(() => new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r))));
        await look(page, 1.5, 2, ', zoomed to while open,', cdp);
      }
      await page.context().close();
    }
  } finally {
    await browser.close();
  }
}

let base;
(async () => {
  const server = await serve(buildDir);
  base = 'http://127.0.0.1:' + server.address().port;
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'qelma-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath,
    headless: true,
    args: chromiumArgs,
    viewport: { width: 1400, height: 1000 },
  });
  // The journey in Chromium, Firefox and WebKit (QELMA_BROWSERS=firefox,webkit
  // picks some); the group's old name `webkit` runs it in WebKit alone.
  const t = { base, check, grab, until, instructions, countColour, carBottom, redCarColumn, RED, ORIGIN, at, GAME_SHOWN,
              MENU_ITEMS, marks, SCRIPT_TEXT, STORED_SCRIPT_TEXT, inputLines, desktopGif };
  const journeys = names => () => engines(t, (process.env.QELMA_BROWSERS || names).split(',').filter(Boolean));
  const groups = { parity, gtests, examples, game, survive: recordingsSurvive, scripts: scriptFiles, reload: reloadKeepsTicks,
                   keys, embedded, touch, scale, engines: journeys('chromium,firefox,webkit'), webkit: journeys('webkit'),
                   windows: windowsScript, waiting, replay: async c => replayAgainstDesktop(await wholeGame(c)),
                   gif: gifOfScript,
                   report: () => reportPage(t, (process.env.QELMA_BROWSERS || 'chromium,firefox,webkit').split(','),
                                            path.join(desktopDir, 'tests', 'check', 'work', 'report', 'index.html')) };
  // QELMA_PAGE_TESTS=game,replay runs only those groups, in this order; all
  // of them run without it, but for `webkit`. A name that is no group fails.
  const only = (process.env.QELMA_PAGE_TESTS || '').split(',').filter(Boolean);
  for (const name of only.filter(n => !groups[n])) check(false, `QELMA_PAGE_TESTS: no group "${name}" (${Object.keys(groups)})`);
  try {
    for (const [name, group] of Object.entries(groups)) {
      if (only.length ? only.includes(name) : name !== 'webkit') await group(context);
    }
  } catch (e) {
    check(false, "page tests ran to the end: " + e.stack);
  } finally {
    await context.close();
    server.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  finish('page test');
})();
