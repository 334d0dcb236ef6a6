// The behaviour checks every engine runs, written against a thin driver:
//
//   driver.open({ url, width, height }) -> session, a fresh visit of `url`
//   session.eval(fn, arg)         fn(arg) in the page; its (awaited) result
//   session.touch(points)         one finger: [[x, y], ...] in page pixels,
//                                 down at the first, up at the last
//   session.key(code, down)       'ArrowDown', 'KeyF', ...
//   session.screenshot()          the viewport as PNG bytes
//   session.errors()              console errors so far, or null where the
//                                 engine does not let a test read them
//   session.close()
//
// The phone's taps are placed through the canvas's getBoundingClientRect():
// the first gesture asks for full screen, and the viewport may change.
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { serve, G, raised } from './harness.mjs';

const FACE = { x: 12, y: 13, w: 456, h: 694 };
export const isWhite = (p) => p[0] > 245 && p[1] > 245 && p[2] > 245;
export const isRedInk = (p) => p[0] > 150 && p[1] < 90 && p[2] < 90;
export const isBlackInk = (p) => p[0] < 70 && p[1] < 70 && p[2] < 70;
const isFelt = (p) => p[1] > p[0] + 30 && p[1] > p[2] + 20;

export function check(condition, message) {
  if (!condition) throw new Error(message);
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

export async function waitFor(session, fn, arg, what, timeout = 10000) {
  for (const until = Date.now() + timeout; ; await sleep(25)) {
    const value = await session.eval(fn, arg).catch(() => false);
    if (value) return value;
    if (Date.now() > until) throw new Error('timed out waiting for ' + what);
  }
}

export const frames = (session) => session.eval(() => window.zentrick.stats.frames);

// The phone's screen as the canvas holds it, read at phone coordinates.
export async function phoneScreen(session) {
  const [width, height, b64] = await session.eval(() => {
    const c = document.getElementById('screen');
    const bytes = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return [c.width, c.height, btoa(text)];
  });
  const data = Buffer.from(b64, 'base64');
  const at = (x, y) => {
    const i = (Math.floor(y * height / 720) * width + Math.floor(x * width / 480)) * 4;
    return Array.from(data.subarray(i, i + 4));
  };
  return { width, height, data, at };
}

export function count(s, left, top, right, bottom, pred, step = 1) {
  let n = 0;
  for (let y = top; y < bottom; y += step) for (let x = left; x < right; x += step) if (pred(s.at(x, y), x, y)) n++;
  return n * step * step;
}

// A PNG screenshot's pixels (8-bit RGB or RGBA, not interlaced).
export function decodePng(bytes) {
  const buffer = Buffer.from(bytes);
  const width = buffer.readUInt32BE(16), height = buffer.readUInt32BE(20);
  const depth = buffer[24], type = buffer[25];
  check(depth === 8 && (type === 2 || type === 6) && buffer[28] === 0, `PNG of type ${type}/${depth}`);
  const channels = type === 6 ? 4 : 3;
  const chunks = [];
  for (let at = 8; at < buffer.length;) {
    const length = buffer.readUInt32BE(at);
    if (buffer.toString('latin1', at + 4, at + 8) === 'IDAT') chunks.push(buffer.subarray(at + 8, at + 8 + length));
    at += length + 12;
  }
  const raw = zlib.inflateSync(Buffer.concat(chunks));
  const stride = width * channels;
  const data = Buffer.alloc(height * stride);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    for (let x = 0; x < stride; x++) {
      const v = raw[y * (stride + 1) + 1 + x];
      const a = x >= channels ? data[y * stride + x - channels] : 0;
      const b = y > 0 ? data[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? data[(y - 1) * stride + x - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predicted = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      data[y * stride + x] = (v + predicted) & 0xff;
    }
  }
  return { width, height, at: (x, y) => Array.from(data.subarray((y * width + x) * channels, (y * width + x) * channels + 3)) };
}

// The canvas's place on the page, in CSS pixels.
export const canvasBox = (session) => session.eval(() => {
  const r = document.getElementById('screen').getBoundingClientRect();
  return { left: r.left, top: r.top, width: r.width, height: r.height };
});

// Page pixels of the phone's (x, y), as the canvas is placed now.
async function toPage(session, x, y) {
  const box = await canvasBox(session);
  return [Math.round(box.left + (x + 0.5) * box.width / 480), Math.round(box.top + (y + 0.5) * box.height / 720)];
}

// Waits for the frame a touch shows, and the second a card reveal draws.
async function afterFrame(session, before) {
  await waitFor(session, (n) => window.zentrick.stats.frames > n, before, 'a new frame', 5000);
  await sleep(40);
}

// A finger on the phone's screen: down at the first point, up at the last.
export async function tap(session, points, { expectFrame = true } = {}) {
  const before = await frames(session);
  const onPage = [];
  for (const [x, y] of points) onPage.push(await toPage(session, x, y));
  await session.touch(onPage);
  if (expectFrame) await afterFrame(session, before);
}

// One motion sample, [x, y, z] m/s^2, as the sensor would give it. WebKit
// has no DeviceMotionEvent constructor: a plain event carries the reading.
export const motion = (session, xyz) => session.eval(([x, y, z]) => {
  const a = { x, y, z };
  let e;
  if (typeof DeviceMotionEvent === 'function') {
    try { e = new DeviceMotionEvent('devicemotion', { accelerationIncludingGravity: a }); } catch (error) { e = null; }
  }
  if (!e || !e.accelerationIncludingGravity) {
    e = new Event('devicemotion');
    e.accelerationIncludingGravity = a;
  }
  window.dispatchEvent(e);
  return true;
}, xyz);

export async function visit(driver, url, { query = '', width = 480, height = 720 } = {}) {
  const session = await driver.open({ url: url + query, width, height });
  await waitFor(session, () => window.zentrick && window.zentrick.stats.frames > 0, null, 'the first frame');
  // The slide-in (120 ms) is over and the timer has run.
  await sleep(250);
  return session;
}

function noErrors(session, what) {
  const errors = session.errors();
  if (errors) check(errors.length === 0, `${what}: console errors: ${errors.join(' | ')}`);
}

function feltAndCardBack(s, what) {
  check(isFelt(s.at(4, 4)), `${what}: no felt at the top left (${s.at(4, 4)})`);
  const design = count(s, 100, 200, 380, 520, (p) => p[0] > p[1] + 60, 2);
  check(design > 20000, `${what}: no red card back in the middle (${design} red pixels)`);
}

const suitArea = (s, pred) => count(s, FACE.x + 165, FACE.y + 285, FACE.x + 315, FACE.y + 435, pred, 2);

function expectCard(s, suit, what) {
  check(isWhite(s.at(FACE.x + 20, FACE.y + 20)), `${what}: no white face`);
  const red = suitArea(s, isRedInk), black = suitArea(s, isBlackInk);
  if (suit === 'heart') check(red > 5000 && black === 0, `${what}: no heart (${red} red, ${black} black)`);
  else check(black > 3000 && red === 0, `${what}: no ${suit} (${black} black, ${red} red)`);
}

// Arms the trick, tilts, waits for the suit to latch, and presses a region.
async function forceCard(session, tilt, press) {
  await tap(session, [[400, 300]]);
  await tilt();
  await sleep(150);
  await tap(session, press);
  return phoneScreen(session);
}

export const scenarios = [
  {
    name: 'loads and draws the card back on felt',
    async run({ driver, url }) {
      const session = await visit(driver, url);
      const s = await phoneScreen(session);
      check(s.width === 480 && s.height === 720, `canvas is ${s.width}x${s.height}`);
      feltAndCardBack(s, 'idle');
      const style = await session.eval(() => [getComputedStyle(document.body).overflow, getComputedStyle(document.body).touchAction]);
      check(style.join() === 'hidden,none', 'page style ' + style);
      noErrors(session, 'loading');
    },
  },
  {
    name: 'a tap on the left two thirds shows a face, and the wake lock is held after it',
    async run({ driver, url }) {
      const session = await visit(driver, url);
      await tap(session, [[100, 300]]);
      const s = await phoneScreen(session);
      check(isWhite(s.at(FACE.x + 30, FACE.y + 30)), 'no card face after a left tap');
      check(suitArea(s, (p) => isRedInk(p) || isBlackInk(p)) > 2000, 'no suit symbol');
      await waitFor(session, () => window.zentrick.page.wakeLock !== null && window.zentrick.page.wakeState === 1, null,
                    'the screen wake lock', 3000);
      noErrors(session, 'a tap');
    },
  },
  {
    name: 'the arrow keys tilt: bottom edge up, a press on the Two gives the Two of hearts',
    async run({ driver, url }) {
      const session = await visit(driver, url);
      const s = await forceCard(session, async () => {
        await session.key('ArrowDown', true);
        await sleep(150);
        await session.key('ArrowDown', false);
      }, [[400, 200]]);
      expectCard(s, 'heart', 'keys');
    },
  },
  // Both signs of the readings: the first tap settles which one the browser uses.
  ...[1, -1].flatMap((sign) => [
    ['bottom', [[400, 200]], 'heart', 'the Two of hearts'],
    ['right', [[200, 600], [400, 600]], 'club', 'the King of clubs'],
  ].map(([edge, press, suit, card]) => ({
    name: `motion with ${sign > 0 ? "W3C's" : 'the opposite'} sign, ${edge} edge up: ${card}`,
    async run({ driver, url }) {
      const session = await visit(driver, url);
      const reading = (edge) => raised(edge).map((v) => sign * v);
      await motion(session, reading(edge));
      const s = await forceCard(session, () => motion(session, reading(edge)), press);
      expectCard(s, suit, `${edge} edge up, sign ${sign}`);
      noErrors(session, 'motion');
    },
  }))),
  {
    name: 'with no Fullscreen API and no orientation lock (an iPhone) the trick works',
    async run({ driver, url }) {
      const session = await visit(driver, url);
      await session.eval(() => {
        for (const o of [Element.prototype, HTMLElement.prototype, document.documentElement]) {
          Object.defineProperty(o, 'requestFullscreen', { configurable: true, value: undefined });
        }
        if (screen.orientation) Object.defineProperty(screen.orientation, 'lock', { configurable: true, value: undefined });
        return true;
      });
      await motion(session, raised('bottom'));
      const s = await forceCard(session, () => motion(session, raised('bottom')), [[400, 200]]);
      expectCard(s, 'heart', 'without full screen');
      check(await session.eval(() => !document.fullscreenElement), 'full screen without the API');
      await waitFor(session, () => window.zentrick.page.wakeState === 1, null, 'the screen wake lock', 3000);
      noErrors(session, 'without full screen');
    },
  },
  {
    name: '?rehearse says when the axes are flipped',
    async run({ driver, url }) {
      const session = await visit(driver, url, { query: '?rehearse' });
      await motion(session, [0, 0, -G]); // face up, in gravity's sign
      await sleep(150);
      const before = await phoneScreen(session);
      await tap(session, [[400, 300]]);
      await sleep(150);
      const after = await phoneScreen(session);
      // "FACE DOWN" became "FACE UP  AXES FLIPPED" on the posture line.
      const changed = count(after, 0, 627, 480, 651, (p, x, y) => p.join() !== before.at(x, y).join());
      check(changed > 300, `the posture line did not change (${changed} pixels)`);
      noErrors(session, 'rehearse');
    },
  },
  {
    name: 'on a tall phone the felt fills the bars and touches still land on the app',
    async run({ driver, url, screenshots, engine }) {
      const session = await visit(driver, url, { width: 390, height: 844 });
      const box = await canvasBox(session);
      const view = await session.eval(() => [innerWidth, innerHeight]);
      check(box.top > 20 && Math.abs(box.top + box.height + box.top - view[1]) <= 2,
            `the canvas is not centred with bars: ${JSON.stringify(box)} in ${view}`);
      const png = await session.screenshot();
      if (screenshots) fs.writeFileSync(path.join(screenshots, `${engine}-tall.png`), png);
      const shot = decodePng(png);
      const scale = shot.width / view[0];
      for (const y of [2, Math.floor(box.top) - 2, Math.ceil(box.top + box.height) + 2, view[1] - 3]) {
        for (const x of [2, Math.floor(view[0] / 2), view[0] - 3]) {
          const p = shot.at(Math.floor(x * scale), Math.floor(y * scale));
          check(isFelt(p), `no felt in the bars at (${x}, ${y}): ${p}`);
        }
      }
      await tap(session, [[100, 300]]);
      check(isWhite((await phoneScreen(session)).at(FACE.x + 30, FACE.y + 30)), 'no card face after a tap on the tall page');
      if (screenshots) fs.writeFileSync(path.join(screenshots, `${engine}-tall-face.png`), await session.screenshot());
    },
  },
  {
    name: 'the service worker takes control and the page loads with the server stopped',
    async run({ driver, site }) {
      const own = await serve(site);
      let stopped = false;
      try {
        const first = await visit(driver, own.url);
        await waitFor(first, () => navigator.serviceWorker && navigator.serviceWorker.controller !== null, null,
                      'the service worker to take control', 15000);
        await first.close();
        own.stop();
        stopped = true;
        const again = await visit(driver, own.url, { query: '?rehearse' });
        feltAndCardBack(await phoneScreen(again), 'offline');
        await tap(again, [[100, 300]]);
        check(isWhite((await phoneScreen(again)).at(FACE.x + 30, FACE.y + 30)), 'no card offline');
      } finally {
        if (!stopped) own.stop();
      }
    },
  },
];

// Runs every scenario (or those whose name holds `only`), each in a fresh
// visit; prints TAP-like lines; returns the number that failed.
export async function runScenarios(engine, driver, { site, url, only = '', screenshots = '' }) {
  let passed = 0, failed = 0;
  for (const s of scenarios) {
    if (only && !s.name.includes(only)) continue;
    const started = Date.now();
    try {
      await s.run({ driver, url, site, engine, screenshots });
      passed++;
      console.log(`ok - ${engine}: ${s.name} (${Date.now() - started} ms)`);
    } catch (error) {
      failed++;
      console.log(`not ok - ${engine}: ${s.name}\n  ${String(error && error.stack || error).split('\n').join('\n  ')}`);
    }
    await driver.closeAll();
  }
  return { passed, failed };
}
