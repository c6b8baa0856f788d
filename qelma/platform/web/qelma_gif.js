// The page's GIF of a script, the one qelma-replay --gif makes on the
// desktop: the program's own script is started a second time in a Web
// Worker, where there is no page, so the library runs it on the headless
// platform with the script's events; as it ends, the library turns what it
// drew into the GIF with qelma-replay's own writer (page_gif.h). The page the
// user is using goes on untouched. Loaded before the program, after
// qelma_web.js.
var Module = typeof Module !== 'undefined' ? Module : {};
(function () {
  'use strict';
  const DIR = '/replay';
  const LIMIT_MS = 120000;

  // ---- in the worker: the program replays the script it is sent
  if (typeof document === 'undefined' && typeof importScripts === 'function') {
    let script = null, started = null;
    addEventListener('message', e => {
      if (!(e.data && e.data.qelmaReplayScript) || script) return;
      script = e.data.qelmaReplayScript;
      if (started) started();
    });
    Module.preRun = (Module.preRun || []).concat([function () {
      FS.mkdir(DIR);
      ENV.QELMA_REPLAY_SCRIPT = DIR + '/QELMA.SCR';
      ENV.QELMA_REPLAY_STREAM = DIR + '/stream';
      ENV.QELMA_REPLAY_PICTURES = '1';
      ENV.QELMA_PAGE_GIF = DIR + '/QELMA.gif';
      addRunDependency('qelma-replay-script');
      const go = () => {
        FS.writeFile(DIR + '/QELMA.SCR', script);
        removeRunDependency('qelma-replay-script');
      };
      if (script) go(); else started = go;
    }]);
    // What the library told of the GIF (page_gif.h), with the GIF itself.
    const made = code => {
      let lines;
      try {
        lines = FS.readFile(DIR + '/QELMA.gif.told', { encoding: 'utf8' }).split('\n');
      } catch (e) {
        return { qelmaGifError: 'the program ended (code ' + code + ') before it drew a picture', code };
      }
      const result = { code, log: [] };
      for (const line of lines) {
        const space = line.indexOf(' '), word = line.slice(0, space), rest = line.slice(space + 1);
        if (word === 'error') return { qelmaGifError: rest, code };
        if (word === 'frames') result.frames = Number(rest);
        else if (word === 'end') result.end = { how: Number(rest.split(' ')[0]), line: Number(rest.split(' ')[1]) };
        else if (word === 'log') result.log.push(rest);
      }
      result.qelmaGif = FS.readFile(DIR + '/QELMA.gif');
      return result;
    };
    // The program's end, however it comes, is answered once.
    let told = false;
    const answer = (code, failure) => {
      if (told) return;
      told = true;
      let result;
      try {
        result = failure ? { qelmaGifError: failure, code } : made(code);
      } catch (e) {
        result = { qelmaGifError: String(e && e.message || e), code };
      }
      postMessage(result, result.qelmaGif ? [result.qelmaGif.buffer] : []);
    };
    const onExit = Module.onExit;
    Module.onExit = code => { if (onExit) onExit(code); answer(code); };
    Module.onAbort = what => answer(1, 'the program failed: ' + what);
    // A program that waited returns from main after the runtime's start
    // returned.
    Module.postRun = (Module.postRun || []).concat([function () {
      if (typeof Asyncify !== 'undefined' && Asyncify.currData)
        Asyncify.whenDone().then(code => answer(code | 0), e => answer(1, 'the program failed: ' + e));
    }]);
    return;
  }

  // ---- in the page: the button asks a worker for the GIF
  // The program's script, as the page loaded it: the worker's too.
  const own = document.currentScript && document.currentScript.src;
  // Makes a GIF of the script's bytes; answer(result) gets what the worker
  // told, or { qelmaGifError } when it told nothing in time.
  Module.qelmaMakeGif = (script, answer) => {
    let worker, limit = null;
    const finish = result => {
      clearTimeout(limit);
      if (worker) worker.terminate();
      worker = null;
      answer(result);
    };
    try {
      if (!own) throw new Error('the page does not know its program\'s script');
      worker = new Worker(own);
    } catch (e) {
      finish({ qelmaGifError: 'no worker could be started: ' + e.message });
      return;
    }
    worker.onmessage = e => {
      if (worker && e.data && ('qelmaGif' in e.data || 'qelmaGifError' in e.data)) finish(e.data);
    };
    worker.onerror = e => {
      e.preventDefault();
      if (worker) finish({ qelmaGifError: 'the program failed: ' + (e.message || 'an error in its worker') });
    };
    worker.postMessage({ qelmaReplayScript: script });
    limit = setTimeout(() => finish({ qelmaGifError: 'the program did not end within ' + LIMIT_MS / 1000 + ' s' }),
                       LIMIT_MS);
  };
})();
