// The page's GIF of a script, as qelma-replay makes it on the desktop: the
// program runs a second time in a hidden frame of the same page, its events
// from the script, and reports what it draws (the records of
// qelma/replay_stream.h); the frames are those of the desktop
// command: one per periodic event at 100 ms, repeats merged, each frame the
// rectangle that changed, the program's palette as the colour table. The
// encoder is omggif's GifWriter, loaded before this file (--pre-js).
// Loaded before the program, after qelma_web.js.
var Module = typeof Module !== 'undefined' ? Module : {};
(function () {
  'use strict';
  const PICTURE_CENTISECONDS = 10;

  // The pictures of a record stream, in order: onPicture(pixels, width,
  // height, number, repeated), with one array refilled in place.
  // Returns the palette, the log lines and the script's end (or null).
  function readRecords(bytes, onPicture) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    let at = 0, width = 0, height = 0, pixels = null, palette = [], end = null;
    const log = [];
    const number = () => { const n = view.getUint32(at, true); at += 4; return n; };
    while (at < bytes.length) {
      const tag = String.fromCharCode(bytes[at++]);
      if (tag === 'H') {
        number();
        palette = Array.from({ length: number() }, number);
      } else if (tag === 'W') {
        number();
      } else if (tag === 'L') {
        const n = number();
        log.push(new TextDecoder('latin1').decode(bytes.subarray(at, at + n)));
        at += n;
      } else if (tag === 'E') {
        end = { how: number(), line: number() };
      } else if (tag === 'F' || tag === 'S') {
        const picture = number();
        number(); // final: the GIF takes the last picture like any other
        if (tag === 'F') {
          width = number(); height = number();
          const first = number(), rows = number();
          if (!pixels || pixels.length !== width * height) pixels = new Uint32Array(width * height);
          pixels.set(new Uint32Array(bytes.slice(at, at + 4 * width * rows).buffer), first * width);
          at += 4 * width * rows;
        }
        if (!pixels) throw new Error('the replay stream repeats a picture it never sent');
        onPicture(pixels, width, height, picture, tag === 'S');
      } else {
        throw new Error('the replay stream is damaged');
      }
    }
    return { palette, log, end };
  }

  // The frames of the GIF: onFrame(pixels, width, height, centiseconds) once
  // each frame's time is known.
  function readFrames(bytes, onFrame) {
    let pending = null, time = 0, last = -1;
    const flush = () => { if (pending) onFrame(pending.pixels, pending.width, pending.height, time); };
    const report = readRecords(bytes, (pixels, width, height, picture, repeated) => {
      if (last === picture && repeated) return; // the last picture, told again at the end
      last = picture;
      if (repeated && pending) { time += PICTURE_CENTISECONDS; return; }
      flush();
      pending = { pixels: pixels.slice(), width, height };
      time = PICTURE_CENTISECONDS;
    });
    flush();
    return report;
  }

  // The rectangle holding every pixel that differs from what is shown.
  function changedBox(now, shown, width, height) {
    if (!shown) return { x: 0, y: 0, w: width, h: height };
    let left = width, right = -1, top = height, bottom = -1;
    for (let y = 0; y < height; y++) {
      for (let x = 0, i = y * width; x < width; x++, i++) {
        if (now[i] === shown[i]) continue;
        if (x < left) left = x;
        if (x > right) right = x;
        if (top === height) top = y;
        bottom = y;
      }
    }
    if (bottom < 0) return { x: 0, y: 0, w: 1, h: 1 };
    return { x: left, y: top, w: right - left + 1, h: bottom - top + 1 };
  }

  // The GIF of a record stream, or an Error saying why there is none.
  function gifOfRecords(bytes) {
    // First the frames' boxes, for the size of the output; then the frames.
    let shown = null, room = 1024;
    const report = readFrames(bytes, (pixels, width, height) => {
      const box = changedBox(pixels, shown, width, height);
      room += Math.ceil(box.w * box.h * 1.6) + 256;
      shown = pixels;
    });
    if (!shown) return new Error('the program drew no picture');
    let size = 2;
    while (size < report.palette.length) size *= 2;
    const table = report.palette.concat(new Array(size - report.palette.length).fill(0));
    const nearest = new Map();
    const indexOf = colour => {
      let best = nearest.get(colour);
      if (best !== undefined) return best;
      let bestDistance = Infinity;
      report.palette.forEach((entry, i) => {
        let distance = 0;
        for (let shift = 0; shift <= 16; shift += 8) {
          const d = ((colour >> shift) & 255) - ((entry >> shift) & 255);
          distance += d * d;
        }
        if (distance < bestDistance) { bestDistance = distance; best = i; }
      });
      nearest.set(colour, best);
      return best;
    };
    const out = new Uint8Array(room);
    let writer = null, count = 0;
    shown = null;
    readFrames(bytes, (pixels, width, height, time) => {
      if (!writer) writer = new GifWriter(out, width, height, { palette: table, loop: 0 });
      const box = changedBox(pixels, shown, width, height);
      const indices = new Uint8Array(box.w * box.h);
      for (let y = 0; y < box.h; y++)
        for (let x = 0; x < box.w; x++)
          indices[y * box.w + x] = indexOf(pixels[(box.y + y) * width + box.x + x]);
      writer.addFrame(box.x, box.y, box.w, box.h, indices, { delay: time, disposal: 1 });
      shown = pixels;
      count++;
    });
    const gif = out.slice(0, writer.end());
    return { gif, frames: count, end: report.end, log: report.log };
  }

  // ---- in the hidden frame: the program replays the script it is given
  const REPLAY_DIR = '/replay';
  const replaying = new URLSearchParams(location.search).has('qelma-replay');
  Module.qelmaReplaying = replaying;
  if (replaying) {
    let script = null, started = null;
    addEventListener('message', e => {
      if (e.source !== parent || !(e.data && e.data.qelmaReplayScript)) return;
      script = e.data.qelmaReplayScript;
      if (started) started();
    });
    const tell = answer => parent.postMessage(answer, location.origin);
    Module.preRun = (Module.preRun || []).concat([function () {
      FS.mkdir(REPLAY_DIR);
      ENV.QELMA_REPLAY_SCRIPT = REPLAY_DIR + '/QELMA.SCR';
      ENV.QELMA_REPLAY_STREAM = REPLAY_DIR + '/stream';
      addRunDependency('qelma-replay-script');
      const go = () => {
        FS.writeFile(REPLAY_DIR + '/QELMA.SCR', script);
        removeRunDependency('qelma-replay-script');
      };
      if (script) go(); else started = go;
    }]);
    // The program's end, however it comes, is answered once.
    let told = false;
    const answer = (code, failure) => {
      if (told) return;
      told = true;
      let made;
      try {
        made = failure ? new Error(failure) : gifOfRecords(FS.readFile(REPLAY_DIR + '/stream'));
      } catch (e) {
        made = e;
      }
      if (made instanceof Error) tell({ qelmaGifError: made.message, code });
      else tell({ qelmaGif: made.gif, frames: made.frames, end: made.end, log: made.log, code });
    };
    const onExit = Module.onExit;
    Module.onExit = code => { if (onExit) onExit(code); answer(code); };
    Module.onAbort = what => answer(1, 'the program failed: ' + what);
  }

  // ---- in the page: the button that asks for the GIF and downloads it
  // Makes a GIF of the script's bytes; answer(result) gets what the frame
  // told, or { qelmaGifError } when it told nothing in time.
  Module.qelmaMakeGif = (script, answer) => {
    const frame = document.createElement('iframe');
    frame.setAttribute('aria-hidden', 'true');
    frame.tabIndex = -1;
    // Out of sight but laid out, so that the browser runs it at full speed.
    frame.style.cssText = 'position:absolute;left:-9999px;top:0;width:700px;height:700px;border:0';
    const address = new URL(location.href);
    address.searchParams.set('qelma-replay', '1');
    frame.src = address.href;
    let limit = null;
    const finish = result => {
      clearTimeout(limit);
      removeEventListener('message', heard);
      frame.remove();
      answer(result);
    };
    const heard = e => {
      if (e.source === frame.contentWindow && e.data && ('qelmaGif' in e.data || 'qelmaGifError' in e.data))
        finish(e.data);
    };
    addEventListener('message', heard);
    frame.addEventListener('load', () => frame.contentWindow.postMessage({ qelmaReplayScript: script }, location.origin));
    limit = setTimeout(() => finish({ qelmaGifError: 'the program did not end within 120 s' }), 120000);
    document.body.appendChild(frame);
  };
  Module.qelmaGifOfRecords = gifOfRecords;
})();
