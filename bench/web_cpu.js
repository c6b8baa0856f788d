// What the game's page costs the machine in each browser engine, measured
// from outside: the processor time of every process of the browser (the
// whole tree under this script: browser, renderers or content processes,
// GPU, network, WebKit's web process, its driver), read from /proc/<pid>/stat
// before and after a window of SECONDS, as a share of one core. The virtual
// X server WebKit draws into is counted apart. The states: a blank page
// (what the engine costs with nothing to do, under its driver); the floor
// (a page whose only work is a 10 x 10 canvas changed ten times a second,
// as often as the game's tick changes its picture: what the engine costs to
// show that many frames); the game waiting before Go (its idle scene
// animates at each tick); animating after Go; the same with its pictures
// kept from the canvas (the program's own work, without the engine's
// showing); halted (Ctrl+H, the Run menu's Halt animation); and
// examples/qelma_first waiting for a click. A page just loaded is left to
// settle for 10 s first: the engines compile and tier up the program, and
// WebKit shows a page's scroll bar for some seconds after it loads, drawing
// at full rate meanwhile. Also per engine: the bytes the page fetched and the
// time from navigation to the first picture (the median of three loads).
//   node bench/web_cpu.js [build/web]
// QELMA_BROWSERS=chromium,firefox,webkit picks engines (default: all three);
// QELMA_WEB_CPU_SECONDS sets the window (default 20).
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const zlib = require('zlib');
const { ENGINES, sleep } = require(path.join(__dirname, '..', 'tests', 'web', 'engines.js'));
const { TYPES } = require(path.join(__dirname, '..', 'tests', 'web', 'page_support.js'));

const buildDir = path.resolve(process.argv[2] || path.join(__dirname, '..', 'build', 'web'));
const SECONDS = Number(process.env.QELMA_WEB_CPU_SECONDS || 20);
const SETTLE_MS = 3000;      // after Go or Ctrl+H
const LOAD_SETTLE_MS = 10000; // after a page loads
const PAGE_FILES = ['game/cargame.html', 'game/cargame.js', 'game/cargame.wasm'];
const HZ = 100; // USER_HZ: /proc counts clock ticks of 1/100 s on Linux

// ---- the page's files, served as a static host serves them

let served = 0; // bytes sent since last reset
// The game's page with one script more, before the program's: it notes the
// time of the drawing panel's first picture (performance.now() counts from
// the navigation's start).
const FIRST_PICTURE = `<script>
  Module.qelmaOnPresent = id => {
    if (id !== 0) return;
    window.qelmaFirstPicture = performance.now();
    delete Module.qelmaOnPresent;
  };
</script>
`;
const EXTRA_PAGES = {
  '/blank.html': '<!doctype html><title>blank</title><p>Nothing here.</p>',
  '/floor.html': `<!doctype html><title>floor</title><canvas width="10" height="10"></canvas><script>
    const ctx = document.querySelector('canvas').getContext('2d'), image = ctx.createImageData(10, 10);
    let k = 0;
    setInterval(() => { image.data.fill(++k & 255); ctx.putImageData(image, 0, 0); }, 100);
  </script>`,
};
function serve() {
  const server = http.createServer((req, res) => {
    const [address, query] = req.url.split('?');
    const url = decodeURIComponent(address);
    if (EXTRA_PAGES[url]) {
      res.writeHead(200, { 'Content-Type': 'text/html' });
      res.end(EXTRA_PAGES[url]);
      return;
    }
    const file = path.join(buildDir, path.normalize(url).replace(/^(\.\.[/\\])+/, ''));
    if (!file.startsWith(buildDir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404); res.end(); return;
    }
    let body = fs.readFileSync(file);
    if (/(^|&)first-picture(&|$)/.test(query || '') && file.endsWith('.html')) {
      const html = body.toString('utf8');
      const at = html.search(/<script[^>]*\ssrc=/);
      if (at < 0) throw new Error(`${url} loads no program script`);
      body = Buffer.from(html.slice(0, at) + FIRST_PICTURE + html.slice(at));
    }
    served += body.length;
    res.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
                         'Cache-Control': 'no-store' });
    res.end(body);
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// ---- the processes under this one, and their processor time

function stat(pid) {
  try {
    const s = fs.readFileSync(`/proc/${pid}/stat`, 'latin1');
    const close = s.lastIndexOf(')');
    const f = s.slice(close + 2).split(' '); // f[0] is field 3, the state
    return { pid: Number(pid), comm: s.slice(s.indexOf('(') + 1, close), ppid: Number(f[1]),
             ticks: Number(f[11]) + Number(f[12]) };
  } catch (e) {
    return null; // gone meanwhile
  }
}
// What a process is: Chromium's --type (the network service by name), or
// the process's own name (Firefox and WebKit name their processes).
function kind(p) {
  let args = '';
  try { args = fs.readFileSync(`/proc/${p.pid}/cmdline`, 'latin1'); } catch (e) { /* gone */ }
  if (/--utility-sub-type=network/.test(args)) return 'chromium network';
  const type = /--type=([a-z-]+)/.exec(args);
  if (type) return 'chromium ' + type[1];
  if (/chrom/i.test(p.comm)) return 'chromium browser';
  return p.comm;
}
// Every process under this one but this one, with its ticks so far.
function tree() {
  const all = fs.readdirSync('/proc').filter(n => /^\d+$/.test(n)).map(stat).filter(Boolean);
  const children = new Map();
  for (const p of all) {
    if (!children.has(p.ppid)) children.set(p.ppid, []);
    children.get(p.ppid).push(p);
  }
  const out = new Map();
  const walk = pid => (children.get(pid) || []).forEach(p => { out.set(p.pid, p); walk(p.pid); });
  walk(process.pid);
  return out;
}
// The browser's and the X server's processor time over `seconds`, as
// percentages of one core, and the browser's by kind of process.
async function cpu(seconds) {
  const before = tree();
  const t0 = process.hrtime.bigint();
  await sleep(seconds * 1000);
  const after = tree();
  const wall = Number(process.hrtime.bigint() - t0) / 1e9;
  const byKind = new Map();
  let browser = 0, x = 0;
  for (const [pid, p] of after) {
    // A process born within the window counts whole; one that ended in it
    // is lost (neither happens while a page just runs).
    const used = p.ticks - (before.has(pid) ? before.get(pid).ticks : 0);
    if (p.comm === 'Xvfb') { x += used; continue; }
    browser += used;
    const k = kind(p);
    byKind.set(k, (byKind.get(k) || 0) + used);
  }
  const pct = t => 100 * t / HZ / wall;
  return { browser: pct(browser), x: pct(x),
           kinds: [...byKind].filter(([, t]) => t > 0).sort((a, b) => b[1] - a[1]).map(([k, t]) => [k, pct(t)]) };
}

// ---- in the page

const GAME_SHOWN = `document.querySelectorAll('.qelma-window:not([hidden])').length`;
// Counts the pictures the program hands the page, and their rows, from now
// on (one counter per page, however often it is asked for); while
// window.qelmaKeep is set they are counted but kept from the canvas.
const COUNT_PRESENTS = `(() => {
  const page = Module.qelmaPage;
  window.qelmaPresents = { calls: 0, rows: 0 };
  if (!page.counted) {
    const present = page.present;
    page.present = function (id, pixels, w, h, top, rows) {
      qelmaPresents.calls++; qelmaPresents.rows += rows;
      if (!window.qelmaKeep) return present.apply(this, arguments);
    };
    page.counted = true;
  }
  return true;
})()`;
// The program runs on, but its pictures no longer reach the canvas.
const KEEP_PICTURES = `(() => { window.qelmaKeep = true; return true; })()`;
const SHOW_PICTURES = `(() => { window.qelmaKeep = false; return true; })()`;
// White pixels where the game's instructions stand (they go with Go).
const INSTRUCTIONS = `(() => {
  const c = document.querySelector('.qelma-window canvas');
  const d = c.getContext('2d').getImageData(10, 360, 581, 120).data;
  let n = 0;
  for (let i = 0; i < d.length; i += 4) n += d[i] === 255 && d[i + 1] === 255 && d[i + 2] === 255;
  return n;
})()`;
// A digest of the drawing panel's pixels.
const DIGEST = `(() => {
  const c = document.querySelector('.qelma-window canvas');
  const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  let h = 0;
  for (let i = 0; i < d.length; i++) h = (h * 31 + d[i]) | 0;
  return h;
})()`;

async function open(d, url, panels) {
  await d.goto(url);
  if (!await d.waitFor(`${GAME_SHOWN} >= ${panels} && !!Module.calledRun`, 30000))
    throw new Error(`${url} showed no panels in 30 s`);
  await d.idle();
}

// One state measured: its processor time and the pictures the page drew.
async function measure(d, what, settle = SETTLE_MS) {
  await sleep(settle);
  const program = await d.evaluate(`typeof Module === 'object' && !!Module.qelmaPage && ${COUNT_PRESENTS}`);
  const c = await cpu(SECONDS);
  const p = program ? await d.evaluate('qelmaPresents') : { calls: 0, rows: 0 };
  return { what, ...c, presents: p.calls / SECONDS, rows: p.rows / SECONDS };
}

async function engine(name, base) {
  const d = await ENGINES[name]();
  if (typeof d === 'string') return { name, skipped: d };
  try {
    // Three loads: the time to the first picture and the bytes fetched.
    const loads = [];
    for (let i = 0; i < 3; i++) {
      served = 0;
      await d.goto(`${base}/game/cargame.html?first-picture&load=${i}`);
      const first = await d.waitFor('window.qelmaFirstPicture', 30000);
      if (!first) throw new Error('the game page showed no picture within 30 s');
      await d.waitFor(`${GAME_SHOWN} >= 2 && !!Module.calledRun`, 30000);
      loads.push({ ms: first, bytes: served });
    }
    const result = { name, firstPicture: loads.map(l => l.ms).sort((a, b) => a - b)[1],
                     bytes: loads.map(l => l.bytes).sort((a, b) => a - b)[1], states: [] };

    await d.goto(base + '/blank.html');
    result.states.push(await measure(d, 'blank page', LOAD_SETTLE_MS));

    await d.goto(base + '/floor.html');
    result.states.push(await measure(d, 'floor', LOAD_SETTLE_MS));

    await open(d, base + '/game/cargame.html', 2);
    result.states.push(await measure(d, 'before Go', LOAD_SETTLE_MS));

    await d.onCanvas(50, 28); // Go, in the drawing area's top left corner
    if (!await d.waitFor(`${INSTRUCTIONS} === 0`, 5000)) throw new Error('Go did not start the game');
    result.states.push(await measure(d, 'after Go'));
    await d.evaluate(KEEP_PICTURES);
    result.states.push(await measure(d, 'not shown'));
    await d.evaluate(SHOW_PICTURES);

    await d.press('h', ['Control']);
    await sleep(1000);
    const a = await d.evaluate(DIGEST);
    await sleep(1000);
    if (a !== await d.evaluate(DIGEST)) throw new Error('Ctrl+H did not halt the game: its picture moves');
    result.states.push(await measure(d, 'halted'));

    await open(d, base + '/examples/qelma_first.html', 1);
    result.states.push(await measure(d, 'first.html', LOAD_SETTLE_MS));
    return result;
  } finally {
    await d.close().catch(() => {});
  }
}

function gzipped(files) {
  let raw = 0, gz = 0;
  for (const f of files) {
    const bytes = fs.readFileSync(path.join(buildDir, f));
    raw += bytes.length;
    gz += zlib.gzipSync(bytes, { level: 9 }).length;
  }
  return { raw, gz };
}

(async () => {
  for (const f of PAGE_FILES)
    if (!fs.existsSync(path.join(buildDir, f))) {
      console.error(`web_cpu.js: ${path.join(buildDir, f)} is missing: build the web preset first`);
      process.exit(2);
    }
  const names = (process.env.QELMA_BROWSERS || 'chromium,firefox,webkit').split(',').filter(Boolean);
  const unknown = names.filter(n => !ENGINES[n]);
  if (unknown.length) {
    console.error(`web_cpu.js: QELMA_BROWSERS: no engine ${unknown.join(', ')} (there are ${Object.keys(ENGINES)})`);
    process.exit(2);
  }
  const load = fs.readFileSync('/proc/loadavg', 'latin1').split(' ').slice(0, 3).join(' ');
  const size = gzipped(PAGE_FILES);
  console.log(`The game's page (${PAGE_FILES.map(f => path.basename(f)).join(' + ')}): ` +
              `${(size.raw / 1024).toFixed(1)} KiB, ${(size.gz / 1024).toFixed(1)} KiB by gzip -9`);
  console.log(`Processor time of all the browser's processes over ${SECONDS} s, % of one core, after ` +
              `${LOAD_SETTLE_MS / 1000} s (a page loaded) or ${SETTLE_MS / 1000} s (Go, Ctrl+H) ` +
              `(load average before: ${load})`);
  const server = await serve();
  const base = 'http://127.0.0.1:' + server.address().port;
  const results = [];
  try {
    for (const name of names) {
      try {
        const r = await engine(name, base);
        results.push(r);
        if (r.skipped) { console.log(`${name}: skipped, ${r.skipped}`); continue; }
        for (const s of r.states)
          console.log(`${name.padEnd(8)} ${s.what.padEnd(11)} ${s.browser.toFixed(2).padStart(6)} %` +
                      (s.x > 0 ? `  X server ${s.x.toFixed(2)} %` : '') +
                      `  (${s.kinds.slice(0, 4).map(([k, v]) => `${k} ${v.toFixed(2)}`).join(', ')})` +
                      `  ${s.presents.toFixed(1)} pictures/s, ${Math.round(s.rows)} rows/s`);
      } catch (e) {
        console.log(`${name}: failed: ${e.message}`);
        results.push({ name, failed: e.message });
      }
    }
  } finally {
    server.close();
  }
  console.log('');
  console.log('| Engine | Blank page | Floor | Before Go | After Go | Not shown | Halted | qelma_first waiting | First picture | Fetched |');
  console.log('|---|---|---|---|---|---|---|---|---|---|');
  for (const r of results) {
    if (r.skipped || r.failed) { console.log(`| ${r.name} | ${r.skipped ? 'skipped: ' + r.skipped : 'failed: ' + r.failed} |||||||||`); continue; }
    const cell = s => `${s.browser.toFixed(2)} %` + (s.x > 0.005 ? ` (+ X ${s.x.toFixed(2)} %)` : '');
    console.log(`| ${r.name} | ${r.states.map(cell).join(' | ')} | ${Math.round(r.firstPicture)} ms | ` +
                `${(r.bytes / 1024).toFixed(1)} KiB |`);
  }
  const loadAfter = fs.readFileSync('/proc/loadavg', 'latin1').split(' ').slice(0, 3).join(' ');
  console.log(`load average after: ${loadAfter}`);
  process.exit(results.some(r => r.failed) ? 1 : 0);
})();
