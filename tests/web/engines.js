// The game's page used as a user uses it, in each browser engine Debian
// ships: Chromium and Firefox ESR through puppeteer-core (Firefox over
// WebDriver BiDi), WebKitGTK's MiniBrowser through WebKitWebDriver as plain
// W3C WebDriver over HTTP, under a virtual X server of its own. The journey
// is written once against a small driver:
//   goto(url), evaluate(expression) -> its value (a promise is awaited),
//   click(x, y) at page coordinates, press(key, modifiers), reload(),
//   upload(selector, file) into a file control, close();
// and, for any driver, the helpers below (withHelpers).
// Keys are named as puppeteer names them ('r', 'Escape', 'Numpad8', 'Control').
// QELMA_BROWSERS=firefox,webkit picks engines (default: all three).
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawn } = require('child_process');
const { idle, poll } = require('./page_support');

const sleep = ms => new Promise(r => setTimeout(r, ms));
const VIEWPORT = { width: 1280, height: 1000 };

// The box of an element: a selector, or an expression that finds it.
const RECT = el => `(() => { const r = (${/^[#.]/.test(el) ? `document.querySelector('${el}')` : el}).getBoundingClientRect();
  return [r.left, r.top, r.width, r.height]; })()`;
const STATUS = `document.getElementById('qelma-status').textContent`;

// What the journeys do with any driver.
function withHelpers(d) {
  // The value of `expr` once it is truthy, or null after `ms`.
  d.waitFor = async (expr, ms = 5000) => (await poll(() => d.evaluate(expr).catch(() => null), v => v, ms)) || null;
  d.idle = () => idle(d);
  d.clickAt = async (el, x, y) => { // at (x, y) in the element, its middle if not given
    const [left, top, w, h] = await d.evaluate(RECT(el));
    await d.click(left + (x === undefined ? w / 2 : x), top + (y === undefined ? h / 2 : y));
  };
  d.clickOn = async (el, x, y) => { await d.clickAt(el, x, y); await d.idle(); };
  // Canvas pixel (x, y) of the drawing panel, whatever its scale.
  d.onCanvas = async (x, y) => {
    const scale = await d.evaluate(`(c => c.getBoundingClientRect().width / c.width)(
      document.querySelector('.qelma-window canvas'))`);
    await d.clickOn('.qelma-window canvas', x * scale, y * scale);
  };
  // Whether the program ended with code 0 and the page says so; and what it says.
  d.endedWell = async () => {
    const ended = await d.waitFor(`Module.qelmaEnded && [Module.qelmaExitCode, ${STATUS}]`);
    return [!!ended && ended[0] === 0 && /has ended \(code 0\)/.test(ended[1]), ended];
  };
  return d;
}

// ---- the drivers: each resolves to a driver, or to a string saying why the
// engine cannot run here.

// A keypad digit with Num Lock on, as Chromium's DevTools protocol takes it:
// given as a keypad key, headless Chromium reads it with Num Lock off, as
// the arrow it is labelled with.
function numpadDigit(digit, type) {
  const key = { key: String(digit), code: 'Numpad' + digit, windowsVirtualKeyCode: 0x60 + Number(digit), location: 3 };
  return type === 'keyDown' ? { ...key, text: String(digit) } : key;
}

async function puppeteerDriver(name, browser, executablePath, pkg, args) {
  if (!fs.existsSync(executablePath)) return `${executablePath} is missing, it is in Debian's ${pkg} (scripts/install-deps.sh --web)`;
  let puppeteer;
  try {
    puppeteer = require('puppeteer-core');
  } catch (e) {
    throw new Error('puppeteer-core is not installed: npm ci in tests/web (scripts/install-deps.sh --web)');
  }
  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), `qelma-${name}-`));
  const b = await puppeteer.launch({ browser, executablePath, headless: true, args,
                                     defaultViewport: VIEWPORT, protocolTimeout: 60000,
                                     downloadBehavior: { policy: 'allow', downloadPath: downloads },
                                     extraPrefsFirefox: { 'browser.download.dir': downloads, 'browser.download.folderList': 2,
                                                          'browser.download.useDownloadDir': true,
                                                          'browser.download.always_ask_before_handling_new_types': false } });
  const page = (await b.pages())[0] || await b.newPage();
  await page.setViewport(VIEWPORT); // Firefox's first tab keeps its own size otherwise
  return withHelpers({
    name,
    downloads,
    goto: url => page.goto(url),
    evaluate: expr => page.evaluate(expr),
    click: (x, y) => page.mouse.click(x, y),
    async press(key, modifiers = []) {
      const digit = /^Numpad(\d)$/.exec(key);
      if (browser === 'chrome' && digit && !modifiers.length) { // see numpadDigit
        const cdp = await page.createCDPSession();
        for (const type of ['keyDown', 'keyUp']) await cdp.send('Input.dispatchKeyEvent', { type, ...numpadDigit(digit[1], type) });
        await cdp.detach();
        return;
      }
      for (const m of modifiers) await page.keyboard.down(m);
      await page.keyboard.press(key);
      for (const m of [...modifiers].reverse()) await page.keyboard.up(m);
    },
    reload: () => page.reload(),
    upload: async (selector, file) => (await page.$(selector)).uploadFile(file),
    close: async () => { await b.close(); fs.rmSync(downloads, { recursive: true, force: true }); },
  });
}

// WebDriver's codes for the keys that are not characters.
const WD_KEYS = { Control: '\uE009', Alt: '\uE00A', Shift: '\uE008', Escape: '\uE00C', Tab: '\uE004',
                  Enter: '\uE007', ...Object.fromEntries([...Array(10).keys()].map(d => ['Numpad' + d,
                  String.fromCharCode(0xE01A + d)])) };

async function webkitDriver() {
  const miniBrowser = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
  for (const [file, pkg] of [[miniBrowser, 'webkit2gtk-driver'], ['/usr/bin/WebKitWebDriver', 'webkit2gtk-driver'],
                             ['/usr/bin/Xvfb', 'xvfb']])
    if (!fs.existsSync(file)) return `${file} is missing, it is in Debian's ${pkg} (scripts/install-deps.sh --web)`;
  const port = await new Promise(resolve => { // a free port, let go for the driver
    const s = require('net').createServer().listen(0, '127.0.0.1', () => { const p = s.address().port; s.close(() => resolve(p)); });
  });
  // A home of its own, where MiniBrowser saves downloads (it has no
  // Downloads folder configured). The driver lives as long as its standard
  // input: when this process ends, however it ends, the driver goes and
  // with_xvfb.sh takes its X server down.
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'qelma-webkit-'));
  const driver = spawn(path.join(__dirname, '..', 'support', 'with_xvfb.sh'),
                       ['sh', '-c', 'WebKitWebDriver --port="$1" >/dev/null 2>&1 & read -r _; kill $!; wait', 'sh', String(port)],
                       { stdio: ['pipe', 'ignore', 'inherit'], env: { ...process.env, HOME: home } });
  const stop = () => new Promise(resolve => { driver.once('exit', resolve); driver.stdin.end(); });
  const wd = async (method, url, body) => {
    const r = await fetch(`http://127.0.0.1:${port}${url}`, { method, body: body && JSON.stringify(body),
                                                             headers: { 'Content-Type': 'application/json' } });
    const j = await r.json();
    if (j.value && j.value.error) throw new Error(`WebKitWebDriver: ${j.value.error}: ${j.value.message}`);
    return j.value;
  };
  const newSession = () => wd('POST', '/session', { capabilities: { alwaysMatch: {
    'webkitgtk:browserOptions': { binary: miniBrowser, args: ['--automation'] } } } }).catch(() => null);
  const session = await poll(newSession, got => got || driver.exitCode !== null, 10000);
  if (!session) { await stop(); throw new Error('WebKitWebDriver gave no session within 10 s'); }
  const url = u => `/session/${session.sessionId}${u}`;
  await wd('POST', url('/window/rect'), VIEWPORT);
  const actions = list => wd('POST', url('/actions'), { actions: list });
  const keys = seq => actions([{ type: 'key', id: 'keyboard', actions: seq }]);
  const code = k => WD_KEYS[k] || k;
  return withHelpers({
    name: 'webkit',
    downloads: home,
    goto: u => wd('POST', url('/url'), { url: u }),
    async evaluate(expr) {
      const r = await wd('POST', url('/execute/async'), { args: [], script: `const done = arguments[0];
        Promise.resolve().then(() => (${expr})).then(v => done({ v }), e => done({ e: String(e) + (e && e.stack ? ' at ' + e.stack : '') }));` });
      if (r.e) throw new Error('in the page: ' + r.e);
      return r.v;
    },
    click: (x, y) => actions([{ type: 'pointer', id: 'mouse', parameters: { pointerType: 'mouse' }, actions: [
      { type: 'pointerMove', x: Math.round(x), y: Math.round(y), origin: 'viewport' },
      { type: 'pointerDown', button: 0 }, { type: 'pointerUp', button: 0 }] }]),
    press: (key, modifiers = []) => keys([...modifiers.map(m => ({ type: 'keyDown', value: code(m) })),
      { type: 'keyDown', value: code(key) }, { type: 'keyUp', value: code(key) },
      ...[...modifiers].reverse().map(m => ({ type: 'keyUp', value: code(m) }))]),
    reload: () => wd('POST', url('/refresh'), {}),
    async upload(selector, file) {
      const el = await wd('POST', url('/element'), { using: 'css selector', value: selector });
      await wd('POST', url(`/element/${Object.values(el)[0]}/value`), { text: file });
    },
    async close() {
      await wd('DELETE', url('')).catch(() => {});
      await stop();
      fs.rmSync(home, { recursive: true, force: true });
    },
  });
}

// ---- the journey

// Every keydown with Ctrl, and whether the page kept it from the browser.
const WATCH_CTRL = `(() => { window.qelmaCtrl = [];
  addEventListener('keydown', e => { if (e.ctrlKey && e.key !== 'Control') qelmaCtrl.push(e.key + ':' + e.defaultPrevented); });
})()`;
const POPUPS_OPEN = `[...document.querySelectorAll('.qelma-popup')].filter(p => !p.hidden).length`;
const CANVAS_HAS_KEYS = `document.activeElement === document.querySelector('.qelma-window canvas')`;

// The user's journey through the game's page in one engine; returns the
// start picture.
async function journey(d, t) {
  const { base, check, grab, until, instructions, countColour, carBottom, redCarColumn, RED, ORIGIN, at } = t;
  const say = (ok, what) => check(ok, `${d.name}: ${what}`);
  const { waitFor, idle, clickAt, clickOn } = d;
  // The game shown, by a page loaded since the last call (the old one
  // carries a mark).
  const shown = async () => {
    if (!await waitFor(`!window.qelmaSeen && ${t.GAME_SHOWN} && !!Module.calledRun`, 30000))
      throw new Error('the game page showed no panels in 30 s: ' + await d.evaluate(`JSON.stringify([document.readyState,
        ${STATUS}, typeof Module, typeof Module === 'object' && Module.calledRun, document.querySelectorAll('.qelma-window').length])`)
        .catch(e => e.message));
    await d.evaluate('window.qelmaSeen = true');
    await idle();
  };
  // The picture once it is the same as a quarter second before, or null.
  const stands = async (ms = 5000) => {
    const shots = [];
    for (const end = Date.now() + ms; Date.now() < end; await sleep(50)) {
      shots.push([Date.now(), await grab(d)]);
      const old = shots.find(([at]) => at <= Date.now() - 250);
      if (old && Buffer.compare(old[1].rgba, shots[shots.length - 1][1].rgba) === 0) return old[1];
      while (shots.length && shots[0][0] < Date.now() - 1000) shots.shift();
    }
    return null;
  };
  // Ctrl with a letter, and the Run menu's checked items after it.
  const ctrl = async letter => { await d.press(letter, ['Control']); await idle(); return t.marks(d); };
  const atStart = s => countColour(s, RED, ORIGIN.x + 17, ORIGIN.y + 85, ORIGIN.x + 18, ORIGIN.y + 86) === 1;

  await d.goto(base + '/game/cargame.html');
  await shown();
  const titles = await d.evaluate(`[...document.querySelectorAll('.qelma-window h2')].map(h => h.textContent).join('|')`);
  say(titles === 'QELMA Graphics|QELMA Text', `the two panels and their titles (${titles})`);
  const start = await grab(d);
  say(start.w === 601 && start.h === 520 && instructions(start) > 50 && atStart(start),
      `the start picture: 601 x 520, the instructions, the red car at its start (${start.w} x ${start.h}, ` +
      `${instructions(start)} white pixels)`);

  // The Run menu, opened with the mouse and with Alt and its mnemonic.
  await clickOn('.qelma-menu-head');
  const items = await d.evaluate(t.MENU_ITEMS);
  const opened = await d.evaluate(POPUPS_OPEN);
  await d.press('Escape');
  say(opened === 1 && (await d.evaluate(POPUPS_OPEN)) === 0 && items.includes('Record Script|Ctrl+R') &&
      items.includes('Quit|Ctrl+Q') && items.includes('~QELMA graphics and events library|'),
      'a click opens the Run menu with its shortcuts and grayed lines, Escape shuts it');
  const marks0 = await t.marks(d);
  await d.press('r', ['Alt']);
  const altOpened = await d.evaluate(POPUPS_OPEN);
  await d.press('l');
  await idle();
  const marks1 = await t.marks(d);
  say(altOpened === 1 && marks0.includes('Logging') !== marks1.includes('Logging'),
      `Alt+R opens the Run menu, its mnemonic L chooses Logging (${marks0} / ${marks1})`);

  // Ctrl shortcuts are the program's, never the browser's.
  await d.evaluate(WATCH_CTRL);
  const marks2 = await ctrl('l'), marks3 = await ctrl('r');
  say(marks2 === marks0 && marks3.includes('Record Script'), `Ctrl+L gives Logging back its mark, Ctrl+R records (${marks3})`);

  // Recorded: Go, keypad 2 into the lower lane and 8 back up.
  await d.onCanvas(at(-250, 232).x, at(-250, 232).y);
  const going = await until(d, s => instructions(s) === 0, 5000);
  say(going !== null, 'Go starts the game: the instructions go');
  // The computer car drives the other way in the lower lane, from beside
  // the red car: the red one changes lanes once it is past, and not for long.
  const upper = carBottom(start);
  await until(d, s => redCarColumn(s) >= redCarColumn(going || start) + 40, 5000);
  await d.press('Numpad2');
  const down = await until(d, s => carBottom(s) > upper + 5, 5000);
  await d.press('Numpad8');
  const up = down && await until(d, s => carBottom(s) < carBottom(down) - 5, 5000);
  say(upper > 0 && down !== null && up !== null, `keypad 2 takes the red car into the lower lane, keypad 8 back up ` +
      `(its lowest row ${upper}, ${down && carBottom(down)}, ${up && carBottom(up)})`);
  // A tick since, for Save to write out.
  if (up) await until(d, s => Buffer.compare(s.rgba, up.rgba) !== 0, 5000);
  const stored = await waitFor(`(${t.STORED_SCRIPT_TEXT}).then(s => /QELMA_KBD\\(56\\);/.test(s || '') && s)`);
  say(t.inputLines(stored) === 'QELMA_MOUSE(-250, 232); QELMA_KBD(50); QELMA_KBD(56);',
      `during the recording the stored QELMA.SCR holds every line so far (${JSON.stringify(t.inputLines(stored))})`);

  // Save during the recording: the browser downloads QELMA.SCR, every line
  // so far and the run of ticks.
  await clickOn('#qelma-save');
  const file = path.join(d.downloads, 'QELMA.SCR');
  const text = await poll(() => fs.existsSync(file) ? fs.readFileSync(file, 'latin1') : '',
                          got => /QELMA_PERIODIC\(\d+\);\n$/.test(got), 10000);
  say(t.inputLines(text) === t.inputLines(stored) && /QELMA_PERIODIC\(\d+\);\n$/.test(text),
      `Save during the recording downloads QELMA.SCR, every line and the last ticks (${JSON.stringify(text)})`);
  say(await d.evaluate(CANVAS_HAS_KEYS), 'after Save the keys are the drawing panel\'s again');

  // More ticks, which only the page's leaving writes out, then Ctrl+H halts
  // the game. The tick already asked for still comes after it: the picture
  // is taken once it has stood for a few ticks.
  const saved = await grab(d);
  await until(d, s => Buffer.compare(s.rgba, saved.rgba) !== 0, 5000);
  await ctrl('h');
  const seen = await stands();
  say(seen !== null, 'Ctrl+H halts the game: its picture stands');
  const ctrlKeys = await d.evaluate('qelmaCtrl');

  // A reload during the recording keeps it whole, the ticks since Save
  // too; played back with the game halted, it ends on the picture last seen.
  await d.reload();
  await shown();
  const kept = await d.evaluate(t.SCRIPT_TEXT);
  say(text && (kept || '').startsWith(text) && /^QELMA_PERIODIC\(\d+\);\n$/.test(kept.slice(text.length)),
      `a reload during the recording keeps what Save gave and the ticks since (${JSON.stringify(kept)})`);
  await d.evaluate(WATCH_CTRL);
  await ctrl('h');
  await ctrl('p');
  // The road and below: the sun above moves with every tick, those before
  // the recording too.
  const differ = s => s.rgba.reduce((n, v, i) => n + (i >= 4 * 601 * (ORIGIN.y + 40) && v !== seen.rgba[i]), 0);
  const played = await until(d, s => differ(s) === 0, 5000);
  say(played !== null && !(await t.marks(d)).includes('Playback'),
      `Ctrl+P plays the recording to its end, and the picture is the one last seen (${played ? 0 : differ(await grab(d))} bytes differ)`);

  // Load: a script from disk replaces QELMA.SCR and plays.
  const lower = path.join(d.downloads, 'lower.scr');
  fs.writeFileSync(lower, 'QELMA_KBD(50);\n');
  await d.upload('#qelma-load', lower);
  const loaded = await waitFor(`/Loaded lower\\.scr/.test(${STATUS}) && (${t.SCRIPT_TEXT})`);
  say(loaded === 'QELMA_KBD(50);\n', `Load puts the file into QELMA.SCR (${JSON.stringify(loaded)})`);
  await ctrl('p');
  say(await until(d, s => carBottom(s) > carBottom(seen) + 5, 5000) !== null, 'the loaded script plays: the red car drops into the lower lane');
  // Make a GIF of it: the page's worker makes qelma-replay's GIF.
  await clickOn('#qelma-gif');
  const gifTold = await waitFor(`/^(Made QELMA\\.gif|No GIF)/.test(${STATUS}) && ${STATUS}`, 60000);
  const gifFile = path.join(d.downloads, 'QELMA.gif'), desktopGif = t.desktopGif('game/cargame', 'QELMA_KBD(50);\n');
  const gif = await poll(() => fs.existsSync(gifFile) ? fs.readFileSync(gifFile) : null,
                         got => got && got.length >= desktopGif.length, 10000);
  say(gif && desktopGif.length > 0 && gif.equals(desktopGif),
      `Make a GIF downloads qelma-replay's GIF of the loaded script, byte for byte (${gifTold})`);

  await d.press('q', ['Control']);
  const [ended, told] = await d.endedWell();
  say(ended, `Ctrl+Q ends the program with code 0 (${told})`);
  ctrlKeys.push(...await d.evaluate('qelmaCtrl'));
  say(ctrlKeys.join() === 'l:true,r:true,h:true,h:true,p:true,p:true,q:true',
      `Ctrl shortcuts are the program's, never the browser's (${ctrlKeys})`);
  if (!ended) return start;
  // The keys driven here reach the page alone: a user's Ctrl+Q in Firefox
  // on Linux is Firefox's own Quit, a shortcut no page may take. There the
  // Run menu's Quit ends the program, here after Start it again.
  await clickAt('#qelma-again');
  await shown();
  await clickOn('.qelma-menu-head');
  await clickOn(`[...document.querySelectorAll('.qelma-popup .qelma-item')].find(e => e.children[1].textContent === 'Quit')`);
  const [again, toldAgain] = await d.endedWell();
  say(again, `Start it again, then Run > Quit ends it again (${toldAgain})`);
  return start;
}

// Where the start picture has texts, which each engine's font rasteriser
// draws its own way (the buttons' labels, the points and the instructions),
// and the sky's band where the sun moves with each tick (left, top, right,
// bottom).
const ASIDE = [[0, 0, 81, 216], [0, 310, 120, 338], [0, 395, 601, 520], [0, 0, 601, 70]];

// use(d) in each engine named, each engine closed after it; [name, what
// use returned] for each that ran to its end. An engine that is not
// installed fails a check where `required`, and is skipped otherwise.
async function inEngines(names, check, use, required) {
  const done = [];
  for (const name of names) {
    if (!ENGINES[name]) { check(false, `QELMA_BROWSERS: no engine "${name}" (${Object.keys(ENGINES)})`); continue; }
    const began = Date.now();
    const d = await ENGINES[name]().catch(e => { check(false, `${name} did not start: ${e.message}`); return null; });
    if (typeof d === 'string') {
      if (required) check(false, `${name} cannot run here: ${d}`);
      else console.log(`     ${name}: skipped, ${d}`);
    }
    if (!d || typeof d === 'string') continue;
    try {
      done.push([name, await use(d)]);
    } catch (e) {
      check(false, `${name}: the journey ran to its end: ${e.stack}`);
    } finally {
      await d.close().catch(() => {});
    }
    console.log(`     ${name}: ${((Date.now() - began) / 1000).toFixed(1)} s`);
  }
  return done;
}

// The journey in each engine asked for; then each start picture, its texts
// aside, against the first engine's. A browser that is not installed fails
// the group in CI, where all of them are.
async function engines(t, names) {
  const [first, ...others] = await inEngines(names, t.check, d => journey(d, t), !!process.env.CI);
  if (first && !others.length) console.log(`     the start picture was drawn in ${first[0]} alone: nothing to compare it with`);
  for (const [name, shot] of others) {
    let differ = 0;
    for (let y = 0; y < shot.h; y++)
      for (let x = 0; x < shot.w; x++) {
        if (ASIDE.some(([l, tp, r, b]) => x >= l && x < r && y >= tp && y < b)) continue;
        const i = 4 * (y * shot.w + x);
        differ += shot.rgba.readUInt32BE(i) !== first[1].rgba.readUInt32BE(i);
      }
    t.check(shot.w === first[1].w && shot.h === first[1].h && differ === 0,
            `${name}: the start picture, its texts and sun aside, is ${first[0]}'s pixel for pixel (${differ} differ)`);
  }
}

// The installed Chromium (never a downloaded one) and how it is started.
const chromiumPath = process.env.QELMA_CHROMIUM || '/usr/bin/chromium';
const chromiumArgs = ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
                      '--disable-component-update', '--disable-sync'];
const ENGINES = {
  chromium: () => puppeteerDriver('chromium', 'chrome', chromiumPath, 'chromium', chromiumArgs),
  firefox: () => puppeteerDriver('firefox', 'firefox', process.env.QELMA_FIREFOX || '/usr/bin/firefox-esr', 'firefox-esr', []),
  webkit: webkitDriver,
};

// qelma-check's report page, opened from the disk in each engine: every
// thumbnail loads, and a click on one shows the pictures full size.
async function reportPage(t, names, file) {
  const thumbnails = `[...document.querySelectorAll('td img')]`;
  const OPEN = `(s => s && getComputedStyle(s).display === 'block' && [...s.querySelectorAll('img')]
    .every(i => i.complete && i.naturalWidth === 601) && s.querySelectorAll('img').length)(location.hash &&
    document.querySelector(location.hash))`;
  await inEngines(names, t.check, async d => {
    const say = (ok, what) => t.check(ok, `${d.name}: ${what}`);
    if (!fs.existsSync(file)) return say(false, `the report page ${file} is there (qelma_check_class makes it)`);
    await d.goto('file://' + file);
    const loaded = await d.waitFor(`${thumbnails}.length > 0 && ${thumbnails}.every(i => i.complete && i.naturalWidth === 601)
      && ${thumbnails}.length`, 10000);
    say(loaded >= 10, `the report page's thumbnails load (${loaded})`);
    await d.clickAt(`document.querySelector('td.failed a')`);
    const shown = await d.waitFor(OPEN, 5000);
    say(shown === 3, `a click on a thumbnail shows the picture, the reference and the difference (${shown})`);
  }, !!process.env.CI);
}

module.exports = { engines, inEngines, reportPage, ENGINES, numpadDigit, sleep, chromiumPath, chromiumArgs, POPUPS_OPEN, CANVAS_HAS_KEYS };
