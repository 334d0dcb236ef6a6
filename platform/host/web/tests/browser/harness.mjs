// What the browser tests and the measurements share: the page's own static
// server on 127.0.0.1, headless Chromium, waits for what the page reports,
// and helpers that touch, tilt and read the canvas through the DevTools
// protocol.
import { spawn } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import path from 'node:path';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const G = 9.80665;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// `promise`, or a failure naming `what` once `ms` have passed.
export function within(promise, ms, what) {
  let timer;
  const late = new Promise((resolve, reject) => {
    timer = setTimeout(() => reject(new Error(`${what} did not end within ${ms / 1000} s`)), ms);
  });
  return Promise.race([promise, late]).finally(() => clearTimeout(timer));
}

// How long a wait for the page may take. It measures the machine, not the
// code: a page that works answers in well under a second even on a loaded
// one, and only a broken page (or a browser starved for minutes) uses it up.
export const WAIT = 90000;
// How long one case may take before it fails and the run goes on.
export const CASE_DEADLINE = 300000;

// What the page says about its program, for a time-out's message.
export const pageReport = (session) => session.eval(() => {
  const z = window.zentrick;
  if (!z) return `no window.zentrick (${document.readyState}, ${location.href})`;
  const s = z.stats, p = z.page;
  return `frames ${s.frames}, turns ${s.wakes} (the latest at ${Math.round(s.turnAt)} ms, the latest frame's ${s.frameTurn}), ` +
    `events taken ${s.taken} (motion samples ${s.motions}), ${p.queue.length + p.sensors.length} queued, ` +
    `slid ${p.lowered} px, ` +
    `page clock ${Math.round(performance.now())} ms`;
}).then((text) => 'the page reports ' + text, (error) => `the page did not answer (${error.message.split('\n')[0]})`);

// Polls fn(arg) in the page until it is true (and returns it). A time-out
// says what was awaited and what the page reported then (`report`).
export async function waitFor(session, fn, arg, what, timeout = WAIT, report = pageReport) {
  const started = Date.now();
  let failure = null;
  for (const until = started + timeout; ; await sleep(25)) {
    const value = await session.eval(fn, arg).then((v) => { failure = null; return v; },
                                                  (e) => { failure = e; return false; });
    if (value) return value;
    if (Date.now() > until) {
      const last = failure ? `; the last poll failed: ${failure.message.split('\n')[0]}` : '';
      throw new Error(`timed out after ${Math.round((Date.now() - started) / 1000)} s waiting for ${what}${last}; ` +
                      await report(session));
    }
  }
}

// The page's service worker as the browser reports it.
export const workerReport = (session) => session.eval(async () => {
  if (!navigator.serviceWorker) return 'no service workers here';
  const r = await navigator.serviceWorker.getRegistration();
  const c = navigator.serviceWorker.controller;
  const states = r ? ['installing', 'waiting', 'active'].map((k) => `${k} ${r[k] ? r[k].state : '-'}`).join(', ') : 'none registered';
  return `service worker: ${states}; controller ${c ? c.state : 'none'}; caches ${(await caches.keys()).join(' ') || 'none'}`;
}).then((text) => 'the browser reports ' + text, (error) => `the page did not answer (${error.message.split('\n')[0]})`);

// Waits until a service worker controls the page and is activated: it has
// cached every file.
export const workerInControl = (session) => waitFor(session, () => {
  const c = navigator.serviceWorker && navigator.serviceWorker.controller;
  return c !== null && c.state === 'activated';
}, null, 'an activated service worker to control the page (it caches every file first; on a loaded machine ' +
   'a fetch of one can time out, which fails the install)', WAIT, workerReport);

// Everything queued for the program by now: once the program has taken this
// many events, it has taken all of them.
const queuedMark = (session) => session.eval(() => {
  const z = window.zentrick, p = z.page;
  return z.stats.taken + p.queue.length + p.sensors.length;
});

// Waits until the program has taken every event queued by now, then run a
// turn that showed nothing: what the input caused is on the screen.
export async function settle(session, what) {
  await waitFor(session, (mark) => {
    const s = window.zentrick.stats;
    return s.taken >= mark && s.wakes > s.frameTurn;
  }, await queuedMark(session), `the page to handle ${what} and show all it drew`);
}

// The tilt timer's period: a tilt the program has read is latched by the
// next tick, a period later on the program's clock.
export const TILT_PERIOD = 10;

// Waits until the program's clock has run two tilt periods on from its
// latest turn: whatever tilt it had then is latched.
async function tiltPeriods(session, what) {
  const at = await session.eval(() => window.zentrick.stats.turnAt);
  await waitFor(session, (t) => window.zentrick.stats.turnAt >= t, at + 2 * TILT_PERIOD,
                `the program's clock to pass two tilt periods after ${what}`);
}

// Waits until the program has taken `samples` motion samples more than
// `taken` reports (those still queued then were given before the tilt), and
// its clock has run two tilt periods past the last.
export async function tiltTaken(session, taken, samples, what) {
  await waitFor(session, (n) => window.zentrick.stats.motions >= n, taken + samples,
                `the page to take ${samples} motion samples of ${what}`);
  await tiltPeriods(session, what);
}

// Waits until the page has shown its first frame, the window has slid in,
// and the program has since run a turn that showed nothing.
export const idle = (session, what) => waitFor(session, () => {
  const z = window.zentrick;
  return z && z.stats.frames > 0 && z.page.lowered === 0 && z.stats.wakes > z.stats.frameTurn;
}, null, what);

// What a tap's waits need to know from before it.
export const beforeTap = (session) => session.eval(() => [window.zentrick.stats.frames, window.zentrick.stats.releasedAt]);

// Waits until the page has seen the tap `where` lift (`before` from
// beforeTap) and the program has handled it and shown all it drew (a card
// reveal draws twice: the symbol, then the rank); with `expectFrame`, that
// must have been a new frame.
export async function tapped(session, [frames, released], where, expectFrame) {
  await waitFor(session, (r) => window.zentrick.stats.releasedAt !== r, released, `the page to see ${where} lift`);
  await settle(session, where);
  const after = expectFrame && await session.eval(() => window.zentrick.stats.frames);
  if (expectFrame && after <= frames) throw new Error(`${where} was handled and showed no frame (${after} frames before and after)`);
}


export function argument(name, fallback) {
  const i = process.argv.indexOf(name);
  return i >= 0 && i + 1 < process.argv.length ? process.argv[i + 1] : fallback;
}

// Starts a server that prints where it listens; resolves, once its output
// matches `pattern` (the port in its first group), to { url, port, stop }:
// the matched text, the port, and a stop (by `signal`) that resolves to its
// exit status.
export function start(command, args, pattern, env = {}) {
  const child = spawn(command, args, { stdio: ['ignore', 'pipe', 'pipe'], env: { ...process.env, ...env } });
  const what = [command, ...args].slice(0, 3).join(' ');
  let output = '';
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve(code ?? signal)));
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => { child.kill(); reject(new Error(`${what} did not start: ${output}`)); }, 30000);
    const look = (chunk) => {
      output += chunk;
      const m = output.match(pattern);
      if (m) {
        clearTimeout(timer);
        resolve({ url: m[0], port: Number(m[1]), stop: (signal = 'SIGTERM') => { child.kill(signal); return exited; } });
      }
    };
    child.stdout.on('data', look);
    child.stderr.on('data', look);
    exited.then((code) => { clearTimeout(timer); reject(new Error(`${what} ended (${code}): ${output}`)); });
  });
}

// serve.py on a free port.
export const serve = (site) => start('python3', [path.join(here, '..', '..', 'serve.py'), '--port', '0', '--quiet', site],
                                     /http:\/\/127\.0\.0\.1:(\d+)\//);

// Headless Chromium; `args` and `env` are added to the usual.
export async function launch({ args = [], env } = {}) {
  return chromium.launch({
    executablePath: process.env.ZT_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', ...args],
    env,
  });
}

// Headless Chromium (launch's options) for a run of cases: browser() is the
// one running; reset(), after each case, closes its contexts, and starts the
// browser again when it crashed or will not close them.
export async function keepChromium(options) {
  let browser = await launch(options);
  return {
    browser: () => browser,
    async reset() {
      const closed = await within(Promise.all(browser.contexts().map((c) => c.close())), 60000, 'closing the contexts')
        .then(() => true, () => false);
      if (closed && browser.isConnected()) return;
      console.log('# Chromium broke: starting it again');
      await within(browser.close(), 60000, 'closing Chromium').catch(() => {});
      browser = await launch(options);
    },
    close: () => browser.close(),
  };
}

// A Playwright page as the waits above see it.
export const asSession = (page) => ({ eval: (fn, arg) => page.evaluate(fn, arg) });

// A page of the phone's size; `tilt` ([x, y, z] m/s^2) feeds the motion
// sensor from before the page loads, null leaves the page without one.
export async function open(browser, url, { tilt = null, query = '', context = null, viewport, init = null } = {}) {
  const ctx = context || await browser.newContext({ viewport: viewport || { width: 480, height: 720 }, hasTouch: true });
  const page = await ctx.newPage();
  if (init) await page.addInitScript(init);
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(e.message));
  const cdp = await ctx.newCDPSession(page);
  // Headless pages are never focused otherwise, and focus is activation.
  await cdp.send('Emulation.setFocusEmulationEnabled', { enabled: true });
  if (tilt) {
    await cdp.send('Emulation.setSensorOverrideEnabled', { enabled: true, type: 'accelerometer' });
    await setTilt(cdp, tilt);
  }
  await page.goto(url + query);
  await idle(asSession(page), `the first frame and the window's slide-in at ${url + query}`);
  if (tilt) await tiltTaken(asSession(page), 0, 3, 'the first tilt');
  return { page, cdp, errors, context: ctx };
}

// The motion samples the program will have taken once it has taken those
// given by now.
export const samplesGiven = (session) => session.eval(() => {
  return window.zentrick.stats.motions + window.zentrick.page.sensors.filter((e) => e[0] === 6).length;
});

// The sensor override reads [x, y, z] from now on; with `page`, returns once
// the program has taken three samples of it and its tilt timer has read them.
export async function setTilt(cdp, [x, y, z], page) {
  const taken = page && await samplesGiven(asSession(page));
  await cdp.send('Emulation.setSensorOverrideReadings', { type: 'accelerometer', reading: { xyz: { x, y, z } } });
  if (page) await tiltTaken(asSession(page), taken, 3, `the reading ${[x, y, z].map((v) => v.toFixed(1))}`);
}

// Waits until the program has taken what it was given, then until its clock
// has run two tilt periods on: a key's tilt is latched.
export async function ticked(session, what) {
  await settle(session, what);
  await tiltPeriods(session, what);
}

// Returns once the program has taken three more samples of the sensor as it
// reads now, and its tilt timer has read them: a touch's vote on their sign
// is in, and the suit they tilt to is latched.
export async function tiltRead(page, what = 'the tilt') {
  await tiltTaken(asSession(page), await samplesGiven(asSession(page)), 3, what);
}

// The phone tilted `degrees` towards an edge: 'top', 'bottom', 'left' or 'right' raised.
export function raised(edge, degrees = 45) {
  const s = G * Math.sin(degrees * Math.PI / 180);
  const c = G * Math.cos(degrees * Math.PI / 180);
  return { top: [0, s, c], bottom: [0, -s, c], right: [s, 0, c], left: [-s, 0, c], flat: [0, 0, G] }[edge];
}

export const frames = (page) => page.evaluate(() => window.zentrick.stats.frames);

// Waits until the page has shown a frame after `before` frames, and all
// else it draws for what it was given (a card reveal's second frame).
export async function nextFrame(page, before, what = 'the input') {
  await waitFor(asSession(page), (n) => window.zentrick.stats.frames > n, before, `a frame for ${what}`);
  await settle(asSession(page), what);
}

export async function touch(cdp, type, x, y) {
  const points = type === 'touchEnd' || type === 'touchCancel' ? [] : [{ x, y, id: 1 }];
  await cdp.send('Input.dispatchTouchEvent', { type, touchPoints: points });
}

// A finger down at (x, y) and up at (x2, y2) (page pixels), once the page
// has handled it and shown all it drew; with `expectFrame`, a new frame.
export async function tap(page, cdp, x, y, x2 = x, y2 = y, { expectFrame = true } = {}) {
  const before = await beforeTap(asSession(page));
  await touch(cdp, 'touchStart', x, y);
  if (x2 !== x || y2 !== y) await touch(cdp, 'touchMove', x2, y2);
  await touch(cdp, 'touchEnd', x2, y2);
  await tapped(asSession(page), before, `the tap at (${x},${y})` + (x2 !== x || y2 !== y ? ` to (${x2},${y2})` : ''), expectFrame);
}

// The canvas's pixels as [r, g, b, a] rows: one read for the whole screen.
export async function screen(page) {
  // As base64: a plain array of numbers is many times slower to hand over.
  const [width, b64] = await page.evaluate(() => {
    const c = document.getElementById('screen');
    const bytes = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return [c.width, btoa(text)];
  });
  const data = new Uint8Array(Buffer.from(b64, 'base64'));
  return { width, height: data.length / 4 / width, data, at(x, y) { const i = (y * width + x) * 4; return Array.from(data.subarray(i, i + 4)); } };
}
