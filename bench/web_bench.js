// The web build's figures in the installed Chromium (headless):
//   node bench/web_bench.js [build/web]
// the median time of a whole night frame, the mean and 99th-percentile
// deviation of 300 tick periods, and the tab's processor use while the game
// animates (task time per wall second, from the browser's own metrics).
'use strict';
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { chromium } = require(path.resolve(__dirname, '..', 'tests', 'web', 'node_modules', 'playwright-core'));

const buildDir = path.resolve(process.argv[2] || path.join(__dirname, '..', 'build', 'web'));
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };

(async () => {
  const server = http.createServer((req, res) => {
    const file = path.join(buildDir, path.normalize(decodeURIComponent(req.url.split('?')[0])));
    if (!file.startsWith(buildDir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404); res.end(); return;
    }
    res.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(res);
  });
  await new Promise(r => server.listen(0, '127.0.0.1', r));
  const base = 'http://127.0.0.1:' + server.address().port;
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'qelma-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.QELMA_CHROMIUM || '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  async function run(args, ms) {
    const page = await context.newPage();
    const lines = [];
    page.on('console', m => lines.push(m.text()));
    await page.goto(base + '/tests/web/web_bench.html?' + args.map(a => 'arg=' + a).join('&'));
    await page.waitForFunction(() => Module.qelmaEnded === true, null, { timeout: ms });
    await page.close();
    return lines.filter(l => /^[a-z_0-9]+ [-0-9.]+$/.test(l));
  }
  try {
    (await run(['frames', '1000'], 120000)).forEach(l => console.log(l));
    (await run(['ticks', '300'], 120000)).forEach(l => console.log(l));
    // The real game animating after Go, nobody touching it.
    const page = await context.newPage();
    await page.goto(base + '/game/cargame.html');
    await page.waitForFunction(() => document.querySelectorAll('.qelma-window:not([hidden])').length === 2);
    await page.click('.qelma-window canvas', { position: { x: 40, y: 35 } });
    const cdp = await context.newCDPSession(page);
    await cdp.send('Performance.enable');
    const metric = async () => (await cdp.send('Performance.getMetrics')).metrics
      .find(m => m.name === 'TaskDuration').value;
    await page.waitForTimeout(1000);
    const t0 = Date.now(), c0 = await metric();
    await page.waitForTimeout(10000);
    const used = (await metric()) - c0, wall = (Date.now() - t0) / 1000;
    console.log('animating_tab_cpu_percent_of_one_core ' + (100 * used / wall).toFixed(2));
    await page.close();
  } finally {
    await context.close();
    server.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
})();
