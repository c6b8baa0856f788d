// The page side of the web backend: panels for the program's windows, their
// HTML menu bars, input into the program, timers, text rendering, the wait
// that hands the thread to the browser, and the persistent script folder.
// Loaded before the program (--pre-js).
var Module = typeof Module !== 'undefined' ? Module : {};
(function () {
  'use strict';
  // In the worker that makes the page's GIF (qelma_gif.js) there is no page.
  if (typeof document === 'undefined') return;
  const VK = { ControlLeft: 17, ControlRight: 17, ShiftLeft: 16, ShiftRight: 16, AltLeft: 18,
               AltRight: 18, Enter: 13, NumpadEnter: 13, Escape: 27, Space: 32, Backspace: 8,
               Tab: 9 };
  // Arrow and editing keys by what they are, on the keypad or not.
  const NAV = { ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, Home: 36, End: 35,
                PageUp: 33, PageDown: 34, Insert: 45, Delete: 46, Clear: 12 };
  const panels = [];      // by window id: { root, title, bar, canvas, ctx }
  const timers = new Map();
  const opens = new Map();  // path -> times opened
  let wake = null;        // resolves the program's wait
  let woken = false;      // something arrived while the program was not waiting
  let focused = 0;        // the panel keys go to
  const idleWaiters = []; // resolved when the program next waits with nothing to do

  // The page script may run before or after the page is parsed.
  function whenLoaded(f) {
    if (document.readyState === 'loading') addEventListener('DOMContentLoaded', f); else f();
  }

  // A canvas pixel is shown as a whole number of device pixels: the pixel
  // ratio rounded up (2 at 125 %, 150 % and 200 % or on a high-density
  // screen), or fewer where the window has no room, so that the picture is
  // never blurred or uneven and zooming in never makes it smaller. (At one
  // device pixel for one canvas pixel and a ratio that is not whole, the
  // browser may smooth the picture: only a narrow window gets that.)
  function fit(p) {
    const dpr = window.devicePixelRatio || 1, w = p.canvas.width, h = p.canvas.height;
    p.ratio = window.devicePixelRatio;
    const room = (document.documentElement.clientWidth - 2 * 12 - 2) * dpr;
    p.scale = Math.max(1, Math.min(Math.ceil(dpr - 0.01), Math.floor(room / Math.max(1, w))));
    p.canvas.style.width = (w * p.scale / dpr) + 'px';
    p.canvas.style.height = (h * p.scale / dpr) + 'px';
    // Its first pixel starts on a device pixel too (a margin of a fraction
    // of a CSS pixel), or the browser blends its edge and shifts its grid.
    const c = p.canvas;
    c.style.marginLeft = c.style.marginTop = '0px';
    if (p.root.hidden) return;
    const r = c.getBoundingClientRect();
    const snap = v => Math.max(0, Math.ceil(v * dpr - 0.01) / dpr - v);
    c.style.marginLeft = snap(r.left + scrollX) + 'px';
    c.style.marginTop = snap(r.top + scrollY) + 'px';
  }
  function refit() { for (const p of panels) if (p) fit(p); }
  // Whatever moves the panels (another one shown, a status line) moves
  // them by whole CSS pixels, which need not be whole device pixels.
  if (typeof ResizeObserver !== 'undefined') whenLoaded(() => new ResizeObserver(refit).observe(document.body));
  // Zooming changes the pixel ratio: the canvases follow each change.
  (function watchRatio() {
    if (!window.matchMedia) return;
    matchMedia(`(resolution: ${window.devicePixelRatio || 1}dppx)`)
      .addEventListener('change', () => { refit(); watchRatio(); }, { once: true });
  })();
  addEventListener('resize', refit);

  // Timers run as intervals, each expiry queuing the program's tick. While
  // the program waits for input only, a tick would wake nothing: the
  // intervals stop, so that a waiting page runs nothing at all, and as the
  // program wakes, a timer that came due meanwhile queues its one tick
  // (Windows, too, makes a timer's tick when the queue is looked at).
  function runTimer(t, timer) {
    timer.interval = setInterval(() => {
      timer.last = performance.now();
      if (Module._qelma_web_timer(t)) poke();
    }, timer.ms);
  }
  function pauseTimers() {
    for (const timer of timers.values()) { clearInterval(timer.interval); timer.interval = 0; }
  }
  function resumeTimers() {
    const now = performance.now();
    timers.forEach((timer, t) => {
      if (timer.interval) return;
      if (now - timer.last >= timer.ms) { timer.last = now; Module._qelma_web_timer(t); }
      runTimer(t, timer);
    });
  }
  function poke() {
    if (wake) { const w = wake; wake = null; w(); } else { woken = true; }
  }
  function container() {
    return document.getElementById('qelma-windows') || document.body;
  }

  // ---- menus: '&' marks the mnemonic, text after a tab is the shortcut label
  function label(text) {
    const tab = text.indexOf('\t');
    const main = tab >= 0 ? text.slice(0, tab) : text;
    const span = document.createElement('span');
    let mnemonic = null;
    for (let i = 0; i < main.length; i++) {
      if (main[i] === '&' && i + 1 < main.length) {
        i++;
        if (main[i] === '&') { span.append('&'); continue; }
        const u = document.createElement('u');
        u.textContent = main[i];
        span.append(u);
        if (!mnemonic) mnemonic = main[i].toLowerCase();
      } else {
        span.append(main[i]);
      }
    }
    return { span, shortcut: tab >= 0 ? text.slice(tab + 1) : '', mnemonic };
  }
  function closeMenus() {
    document.querySelectorAll('.qelma-popup').forEach(p => { p.hidden = true; });
  }
  function buildMenu(id, bar, items) {
    bar.textContent = '';
    bar.hidden = !items;
    if (!items) return;
    for (const top of items) {
      const head = document.createElement('div');
      head.className = 'qelma-menu-head';
      const l = label(top.text);
      head.append(l.span);
      if (l.mnemonic) head.dataset.mnemonic = l.mnemonic;
      bar.append(head);
      if (!top.items) {
        if (top.grayed) head.classList.add('grayed');
        else head.onclick = () => Module._qelma_web_menu(top.menu, top.index);
        continue;
      }
      const pop = document.createElement('div');
      pop.className = 'qelma-popup';
      pop.hidden = true;
      head.append(pop);
      const toggle = () => {
        const open = pop.hidden;
        closeMenus();
        pop.hidden = !open;
      };
      // A finger opens the menu as it lands; the click that follows its
      // lifting is not a second one. The mouse (and Alt with a mnemonic)
      // opens it with a click.
      let touched = false;
      head.onpointerdown = e => {
        touched = false;
        if (e.pointerType === 'mouse' || e.target.closest('.qelma-popup') || Module.qelmaEnded) return;
        touched = true;
        toggle();
      };
      head.onclick = e => {
        if (e.target.closest('.qelma-popup') || Module.qelmaEnded) return;
        if (touched) { touched = false; return; }
        toggle();
      };
      for (const it of top.items) {
        if (it.separator) { pop.append(document.createElement('hr')); continue; }
        const row = document.createElement('div');
        row.className = 'qelma-item' + (it.grayed ? ' grayed' : '');
        const mark = document.createElement('span');
        mark.className = 'check';
        mark.textContent = it.checked ? '\u2713' : '';
        const li = label(it.text);
        const sc = document.createElement('span');
        sc.className = 'shortcut';
        sc.textContent = li.shortcut;
        row.append(mark, li.span, sc);
        if (li.mnemonic) row.dataset.mnemonic = li.mnemonic;
        if (!it.grayed) {
          row.onclick = e => {
            e.stopPropagation();
            closeMenus();
            Module._qelma_web_menu(it.menu, it.index);
            poke();
          };
        }
        pop.append(row);
      }
    }
  }

  // ---- keys: Windows' virtual keys and the typed Latin-1 character
  // The letter a key stands for, as Windows takes it: from the keyboard
  // layout (AZERTY's A is the key where QWERTY has Q), and by position only
  // where the layout writes another alphabet, as Windows' Cyrillic or Greek
  // layouts keep the Latin letters' codes. 0 for a key that is no letter here.
  function letterKey(e) {
    const k = e.key || '';
    if (/^[a-zA-Z]$/.test(k)) return k.toUpperCase().charCodeAt(0);
    const m = /^Key([A-Z])$/.exec(e.code || '');
    if (m && k.length === 1 && k.toLowerCase() !== k.toUpperCase()) return m[1].charCodeAt(0);
    return 0;
  }
  function virtualKey(e) {
    const c = e.code || '';
    let m;
    // A keypad digit is VK_NUMPAD0..9 with Num Lock on; with it off the key
    // is the arrow or editing key it is labelled with, as on Windows.
    if ((m = /^Numpad([0-9])$/.exec(c)) && e.key === m[1]) return 0x60 + Number(m[1]);
    if (/^Numpad/.test(c) && NAV[e.key]) return NAV[e.key];
    const letter = letterKey(e);
    if (letter) return letter;
    if ((m = /^Digit([0-9])$/.exec(c))) return m[1].charCodeAt(0);
    return VK[c] || NAV[e.key] || 0;
  }
  function typedChar(e) {
    if (e.ctrlKey && !e.altKey && letterKey(e)) return letterKey(e) - 64;
    if (e.key === 'Enter') return 13;
    if (e.key === 'Backspace') return 8;
    if (e.key === 'Escape') return 27;
    if (e.key === 'Tab') return 9;
    if (e.key && e.key.length === 1 && e.key.charCodeAt(0) <= 0xFF) return e.key.charCodeAt(0);
    return 0;
  }
  // A key pressed while one of the page's own controls has the focus stays
  // the control's (Tab, Enter, Space, typing), but for the program's Ctrl
  // shortcuts, which still reach the program.
  function inControls(el) {
    return !!(el && el.closest && el.closest('.qelma-page-controls, .qelma-keypad'));
  }
  function forControl(e) {
    if (!inControls(e.target) || e.key === 'Control') return false;
    return !(e.ctrlKey && !e.altKey && letterKey(e));
  }
  // The panel that has the keys shows it in its title bar, as Windows shows
  // the active window; none does while a page control has them.
  function markKeys() {
    // An ended program's panels take no keys.
    const controls = inControls(document.activeElement) || Module.qelmaEnded;
    panels.forEach((p, id) => p && p.root.classList.toggle('qelma-has-keys', !controls && id === focused));
  }
  function onKey(e, down) {
    if (Module.qelmaEnded) return;
    if (forControl(e)) return;
    // Tab moves between the page's controls and the panels, as on any page.
    if (e.key === 'Tab' && !e.ctrlKey && !e.altKey) return;
    // Alt with a mnemonic opens that menu of the drawing window's bar.
    if (down && e.altKey && !e.ctrlKey && e.key && e.key.length === 1) {
      const p = panels[0];
      const head = p && p.bar.querySelector('[data-mnemonic="' + CSS.escape(e.key.toLowerCase()) + '"]');
      if (head) { e.preventDefault(); head.click(); return; }
    }
    // With a menu open, a mnemonic chooses its item and Escape closes it,
    // as in a Windows menu; the program does not see those keys.
    const open = document.querySelector('.qelma-popup:not([hidden])');
    if (open && !e.ctrlKey && !e.altKey) {
      e.preventDefault();
      if (!down) return;
      if (e.key === 'Escape') { closeMenus(); return; }
      const item = e.key && e.key.length === 1 &&
        open.querySelector('.qelma-item:not(.grayed)[data-mnemonic="' + CSS.escape(e.key.toLowerCase()) + '"]');
      if (item) item.click();
      return;
    }
    const ch = typedChar(e);
    let vk = virtualKey(e);
    if (vk === 0) { if (ch === 0) return; vk = 0xFF; }
    // The program's shortcuts and keys act for the program, not the browser
    // (print, reload, find, address bar, history, open, select all, Tab).
    e.preventDefault();
    Module._qelma_web_key(focused, vk, ch, down ? 1 : 0, down && e.repeat ? 1 : 0, e.ctrlKey ? 1 : 0);
    poke();
  }

  // The on-screen keypad, for screens without keys: its digits reach the
  // panel that has the keys as the keypad's digits with Num Lock on. Shown
  // at once where the pointer is a finger, and by the page's Keypad button.
  // A finger's press types as it lands; a mouse or the keyboard clicks.
  function keypad() {
    const pad = document.createElement('div');
    pad.className = 'qelma-keypad';
    pad.setAttribute('role', 'group');
    pad.setAttribute('aria-label', 'Keypad');
    const coarse = window.matchMedia && matchMedia('(any-pointer: coarse)').matches;
    pad.hidden = !coarse;
    const type = digit => {
      if (Module.qelmaEnded || !Module._qelma_web_key) return;
      for (const down of [1, 0]) Module._qelma_web_key(focused, 0x60 + digit, 48 + digit, down, 0, 0);
      poke();
    };
    let touched = false;
    for (const digit of [7, 8, 9, 4, 5, 6, 1, 2, 3, 0]) {
      const key = document.createElement('button');
      key.type = 'button';
      key.textContent = String(digit);
      key.addEventListener('pointerdown', e => {
        if (e.pointerType === 'mouse') return;
        e.preventDefault(); // no focus change, no click made up afterwards
        touched = true;
        type(digit);
      });
      key.addEventListener('click', () => { if (!touched) type(digit); touched = false; keysBackSoon(); });
      pad.append(key);
    }
    // Beside the drawing panel, or under it where there is no room beside.
    const drawing = panels[0];
    if (drawing) drawing.root.after(pad); else container().append(pad);
    const toggle = document.getElementById('qelma-keypad');
    if (toggle) {
      toggle.setAttribute('aria-pressed', String(!pad.hidden));
      toggle.addEventListener('click', () => {
        pad.hidden = !pad.hidden;
        toggle.setAttribute('aria-pressed', String(!pad.hidden));
      });
    }
  }
  // After a keypad key is clicked, the keys go back to the panel.
  function keysBackSoon() { setTimeout(() => Module.qelmaPage.keysBack(), 0); }
  whenLoaded(keypad);

  Module.qelmaPage = {
    latin1(ptr, length) {
      let s = '';
      for (let i = 0; i < length; i++) s += String.fromCharCode(HEAPU8[ptr + i]);
      return s;
    },
    windowCreate(id, title, w, h) {
      const root = document.createElement('section');
      root.className = 'qelma-window';
      root.hidden = true;
      root.dataset.title = title;
      const head = document.createElement('h2');
      head.textContent = title;
      const bar = document.createElement('nav');
      bar.className = 'qelma-menubar';
      bar.hidden = true;
      const canvas = document.createElement('canvas');
      canvas.width = w;
      canvas.height = h;
      canvas.tabIndex = 0;
      // The panel's canvas only takes rows of pixels: kept in memory, not in
      // the graphics card, so that WebKit does not redraw it with the
      // graphics library at each picture (with software GL that is most of
      // what a tick costs it).
      const ctx = canvas.getContext('2d', { willReadFrequently: true });
      root.append(head, bar, canvas);
      container().append(root);
      const pad = document.querySelector('.qelma-keypad');
      if (id === 0 && pad) root.after(pad);
      const p = panels[id] = { root, bar, canvas, ctx, scale: 1 };
      fit(p);
      // The canvas pixel under the pointer, counted in device pixels from
      // the canvas's first one, as it is drawn.
      const press = (e, message) => {
        const r = canvas.getBoundingClientRect(), dpr = window.devicePixelRatio || 1;
        const at = (client, edge, size) =>
          Math.min(size - 1, Math.max(0, Math.floor((client * dpr - Math.round(edge * dpr)) / p.scale)));
        const x = at(e.clientX, r.left, canvas.width), y = at(e.clientY, r.top, canvas.height);
        Module._qelma_web_mouse(id, message, x, y);
        poke();
      };
      const down = e => {
        if (e.button !== 0 && e.button !== 2) return;
        e.preventDefault();
        canvas.focus();
        focused = id;
        closeMenus();
        press(e, e.button === 0 ? 0x201 : 0x204);
      };
      const up = e => {
        if (e.button !== 0 && e.button !== 2) return;
        press(e, e.button === 0 ? 0x202 : 0x205);
      };
      // The mouse as mouse events; a finger or a pen as pointer events, so
      // that its press is a click as it lands, not one made up when it lifts
      // (the press's default, those made-up mouse events, is prevented).
      canvas.addEventListener('mousedown', down);
      canvas.addEventListener('mouseup', up);
      canvas.addEventListener('pointerdown', e => { if (e.pointerType !== 'mouse') down(e); });
      canvas.addEventListener('pointerup', e => { if (e.pointerType !== 'mouse') up(e); });
      canvas.addEventListener('contextmenu', e => e.preventDefault());
      root.addEventListener('focusin', () => { focused = id; markKeys(); });
    },
    windowShow(id, show) {
      const p = panels[id];
      if (!p) return;
      p.root.hidden = !show;
      if (show) refit();
      if (show && id === 0) {
        focused = 0;
        // A page of its own takes the keys at once; a page in another page's
        // frame leaves them with the host until the user clicks a panel.
        if (window.self === window.top) p.canvas.focus();
      }
      markKeys();
    },
    // The program's screen is the page: as wide as the window has room for
    // beside the body's margins and a panel's border, so that no panel
    // makes the page scroll sideways.
    screenWidth() {
      const room = document.documentElement.clientWidth - 2 * 12 - 2;
      return Math.max(0, Math.min(screen.width, room)) | 0;
    },
    // The program's files complete now (a recording's lines and its running
    // ticks included), and saved: for a page that goes away, or saves one.
    writeOut() { saveAll(); },
    // How often a file has been opened so far (by the program or the page).
    opened(path) { return opens.get(path) || 0; },
    // After a page control has been used the keys go back to the panel that
    // had them, so that the keypad steers and Ctrl+R records again.
    keysBack() {
      const p = panels[focused];
      if (p && !p.root.hidden) p.canvas.focus();
      markKeys();
    },
    // Rows top..top+rows-1 of a w x h client area, as R, G, B, A bytes.
    present(id, pixels, w, h, top, rows) {
      const p = panels[id];
      if (!p || w === 0 || h === 0 || rows === 0) return;
      if (p.canvas.width !== w || p.canvas.height !== h || p.ratio !== window.devicePixelRatio) {
        p.canvas.width = w; p.canvas.height = h;
        fit(p);
      }
      // The rows go into a picture of the whole canvas kept for the panel,
      // and only they are put on the canvas: no new buffer at each tick.
      if (!p.image || p.image.width !== w || p.image.height !== h) p.image = new ImageData(w, h);
      p.image.data.set(pixels, top * w * 4);
      p.ctx.putImageData(p.image, 0, 0, 0, top, w, rows);
      if (Module.qelmaOnPresent) Module.qelmaOnPresent(id);
    },
    // The layer's delayed show of a panel's pixels.
    showLater(id, ms) {
      setTimeout(() => { if (!Module.qelmaEnded) Module._qelma_web_show_due(id); }, ms);
    },
    menu(id, items) {
      const p = panels[id];
      if (p) buildMenu(id, p.bar, items);
    },
    timerStart(t, ms) {
      if (timers.has(t)) clearInterval(timers.get(t).interval);
      const timer = { ms, last: performance.now(), interval: 0 };
      timers.set(t, timer);
      runTimer(t, timer);
    },
    timerStop(t) {
      if (timers.has(t)) clearInterval(timers.get(t).interval);
      timers.delete(t);
    },
    // Resolves once the program waits and nothing has come for it: what the
    // page shows is then the whole of what it has drawn.
    whenIdle() {
      if (wake !== null || Module.qelmaEnded) return Promise.resolve();
      return new Promise(resolve => idleWaiters.push(resolve));
    },
    // The program's wait; ticksWake is false while it waits for input only.
    nextWake(ticksWake) {
      if (woken) { woken = false; return Promise.resolve(); }
      if (!ticksWake) pauseTimers();
      const waiters = idleWaiters.splice(0);
      const promise = new Promise(resolve => { wake = () => { woken = false; resumeTimers(); resolve(); }; });
      waiters.forEach(resolve => resolve());
      return promise;
    },
  };

  // ---- the program's current directory, kept in the browser's database
  const DIR = '/qelma';
  // A page saves only the files it has written itself, each as a whole, so
  // that a second page of the program, left open with an older folder, does
  // not wipe out a newer recording. Saving puts them into the database in
  // one transaction started at once: it needs no timer (a background tab's
  // timers are slowed, a frozen tab's stopped) and it is under way before a
  // page that is going away is torn down.
  const written = new Set();
  function save() {
    if (!written.size) return;
    const db = IDBFS.dbs[DIR];
    if (!db) { // the folder was never read: save the whole of it
      written.clear();
      FS.syncfs(false, err => { if (err) console.error('QELMA: saving the script folder failed', err); });
      return;
    }
    const paths = [...written];
    written.clear();
    const failed = err => { // kept for the next save
      console.error('QELMA: saving the script folder failed', err);
      paths.forEach(p => written.add(p));
    };
    let store;
    try {
      const tx = db.transaction([IDBFS.DB_STORE_NAME], 'readwrite');
      tx.onerror = e => e.preventDefault();
      tx.onabort = () => failed(tx.error);
      store = tx.objectStore(IDBFS.DB_STORE_NAME);
    } catch (e) {
      failed(e);
      return;
    }
    for (const path of paths) {
      IDBFS.loadLocalEntry(path, (err, entry) => {
        if (err) store.delete(path); // gone since it was written
        else store.put(entry, path);
      });
    }
    // Committed now rather than when the page next runs its tasks, which a
    // frozen page does not.
    if (store.transaction.commit) store.transaction.commit();
  }
  let saveQueued = false;
  function saveSoon() {
    if (saveQueued) return;
    saveQueued = true;
    Promise.resolve().then(() => { saveQueued = false; save(); });
  }
  function inFolder(path) {
    return typeof path === 'string' && path.startsWith(DIR + '/');
  }
  // A page that comes back into view takes what other pages of the program
  // have saved since, as programs on a desktop share their folder: each
  // file that this page has neither left unsaved nor open.
  let loading = false; // set while the page, not the program, writes a file
  function refresh() {
    const db = IDBFS.dbs[DIR];
    if (!db || Module.qelmaEnded) return;
    const remote = new Map();
    try {
      const cursor = db.transaction([IDBFS.DB_STORE_NAME], 'readonly')
        .objectStore(IDBFS.DB_STORE_NAME).openCursor();
      cursor.onsuccess = e => {
        const c = e.target.result;
        if (c) { remote.set(c.key, c.value); c.continue(); } else { take(remote); }
      };
    } catch (e) {
      console.error('QELMA: reading the script folder failed', e);
    }
  }
  function take(remote) {
    const open = new Set(FS.streams.filter(Boolean).map(st => st.path));
    remote.forEach((entry, p) => {
      if (!inFolder(p) || written.has(p) || open.has(p) || !entry || !FS.isFile(entry.mode)) return;
      const when = entry.timestamp.getTime();
      let local = null;
      try { local = FS.stat(p); } catch (e) { /* not here yet */ }
      // Only a newer copy is taken: one this page wrote since the snapshot
      // was read is never replaced by an older one.
      if (local && local.mtime.getTime() >= when) return;
      loading = true;
      try {
        FS.writeFile(p, entry.contents);
        FS.utime(p, when, when);
      } catch (e) {
        console.error('QELMA: reading ' + p + ' failed', e);
      } finally {
        loading = false;
      }
    });
  }
  // What the program has written but its streams still hold reaches the
  // folder, and the folder the database: for a page that is hidden, frozen
  // or going away, whose program may never run again.
  function saveAll() {
    if (Module.calledRun && !Module.qelmaEnded && Module._qelma_web_flush) Module._qelma_web_flush();
    save();
  }
  Module.preRun = (Module.preRun || []).concat([function () {
    FS.mkdir(DIR);
    FS.mount(IDBFS, {}, DIR);
    FS.chdir(DIR);
    addRunDependency('qelma-idbfs');
    FS.syncfs(true, err => {
      if (err) console.error('QELMA: reading the script folder failed', err);
      removeRunDependency('qelma-idbfs');
    });
    // Every write into the folder, and every opening that empties a file,
    // is saved as soon as the program hands the thread back.
    const open = FS.open, write = FS.write;
    FS.open = function (path, flags) {
      const stream = open.apply(this, arguments);
      if (stream) opens.set(stream.path, (opens.get(stream.path) || 0) + 1);
      const truncates = typeof flags === 'string' ? /^w/.test(flags) : (flags & 512 /* O_TRUNC */);
      if (!loading && stream && inFolder(stream.path) && truncates) { written.add(stream.path); saveSoon(); }
      return stream;
    };
    FS.write = function (stream) {
      const result = write.apply(this, arguments);
      if (!loading && stream && inFolder(stream.path)) { written.add(stream.path); saveSoon(); }
      return result;
    };
  }]);
  // A program that has waited returns from main long after the runtime's
  // start returned; its end is reported from the wait's completion.
  function ended(code) {
    if (Module.qelmaEnded) return;
    for (const t of timers.values()) clearInterval(t.interval);
    timers.clear();
    if (Module.onExit) Module.onExit(code);
    Module.qelmaEnded = true;
  }
  Module.postRun = (Module.postRun || []).concat([function () {
    if (typeof Asyncify !== 'undefined' && Asyncify.currData)
      Asyncify.whenDone().then(code => ended(code | 0),
                               e => { console.error('QELMA: the program failed', e); ended(1); });
  }]);
  // WebKit may end a page's database work once pagehide has run; it reports
  // leaving with beforeunload first, where the save still completes.
  addEventListener('beforeunload', saveAll);
  addEventListener('pagehide', saveAll);
  document.addEventListener('freeze', saveAll);
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'hidden') saveAll();
    else refresh();
  });
  addEventListener('focus', refresh);
  document.addEventListener('focusin', markKeys);
  addEventListener('keydown', e => onKey(e, true));
  addEventListener('keyup', e => onKey(e, false));
  addEventListener('mousedown', e => { if (!e.target.closest('.qelma-menubar')) closeMenus(); });
})();
