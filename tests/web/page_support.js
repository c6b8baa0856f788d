// What the page test runners share: their checks, counted, and a folder
// served as a static web host serves it.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');

let failures = 0;
function check(ok, what) {
  console.log((ok ? 'ok   ' : 'FAIL ') + what);
  if (!ok) failures++;
}

// The tally of the checks; the process ends with 1 if any failed.
function finish(what) {
  console.log(failures ? `${failures} ${what}(s) failed` : `all ${what}s passed`);
  process.exit(failures ? 1 : 0);
}

// The value of `get()` once done(value) holds, or its last after `ms`.
async function poll(get, done, ms = 3000) {
  for (const end = Date.now() + ms; ;) {
    const value = await get();
    if (done(value) || Date.now() > end) return value;
    await new Promise(resolve => setTimeout(resolve, 50));
  }
}

// What a static web host says of each file of the folder.
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };

// The files of `folder` on a port of 127.0.0.1 ('/' is its index.html);
// anything else, outside the folder too, is 404.
function serve(folder) {
  folder = path.resolve(folder);
  const server = http.createServer((req, res) => {
    let file = null;
    try {
      const name = decodeURIComponent(new URL(req.url, 'http://host').pathname).replace(/\/$/, '/index.html');
      file = path.join(folder, path.normalize(name));
    } catch (e) { /* a malformed address: 404 */ }
    if (!file || !file.startsWith(folder + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end();
      return;
    }
    res.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// `promise`, or a failure saying `what` did not happen within `ms` of real
// time (a page's own clock may stand still): a stall fails instead of
// holding the run.
async function within(promise, ms, what) {
  let timer;
  const late = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`${what} within ${ms / 1000} s`)), ms);
  });
  try {
    return await Promise.race([promise, late]);
  } finally {
    clearTimeout(timer);
  }
}

// Once the program waits with nothing to do: what the page shows is all it
// has drawn. `d` is Playwright's page or a driver of engines.js.
const idle = d => within(d.evaluate('Module.qelmaPage.whenIdle()'), 60000, 'the program did not come to wait');

module.exports = { check, finish, idle, poll, serve, TYPES };
