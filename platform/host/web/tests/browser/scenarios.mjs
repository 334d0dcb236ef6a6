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
//   session.throttle(rate)        (where the engine can) the page's CPU
//                                 `rate` times slower
//   session.close()
//
// The phone's taps are placed through the canvas's getBoundingClientRect():
// the first gesture asks for full screen, and the viewport may change.
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { serve, G, raised, beforeTap, idle, settle, tapped, ticked, tiltTaken, waitFor, within, workerInControl,
         CASE_DEADLINE } from './harness.mjs';

// The face canvas sits at (12, 13) on the screen.
export const FACE = { x: 12, y: 13, w: 456, h: 694 };
export const isWhite = (p) => p[0] > 245 && p[1] > 245 && p[2] > 245;
export const isRedInk = (p) => p[0] > 150 && p[1] < 90 && p[2] < 90;
export const isBlackInk = (p) => p[0] < 70 && p[1] < 70 && p[2] < 70;
const isFelt = (p) => p[1] > p[0] + 30 && p[1] > p[2] + 20;

export function check(condition, message) {
  if (!condition) throw new Error(message);
}

// Ends a scenario that does not apply to this engine, saying why.
class Skip {
  constructor(reason) { this.reason = reason; }
}
export function skip(reason) {
  throw new Skip(reason);
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

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

// A finger on the phone's screen: down at the first point, up at the last;
// returns as harness.mjs's tap does.
export async function tap(session, points, { expectFrame = true } = {}) {
  const before = await beforeTap(session);
  const onPage = [];
  for (const [x, y] of points) onPage.push(await toPage(session, x, y));
  await session.touch(onPage);
  await tapped(session, before, `the tap at ${points.map((p) => `(${p})`).join(' to ')}`, expectFrame);
}

// deviceorientation's beta and gamma (degrees) of a phone whose "up" is
// [x, y, z] in its own axes (W3C; z not 0).
export function anglesOf([x, y, z]) {
  const gamma = Math.atan(-x / z);
  return [Math.atan2(y, z / Math.cos(gamma)) * 180 / Math.PI, gamma * 180 / Math.PI];
}

// Whether the engine makes deviceorientation events for a page to send.
export const orientable = (session) => session.eval(() => {
  try {
    return new DeviceOrientationEvent('deviceorientation', { beta: 1, gamma: 2 }).gamma === 2;
  } catch (error) {
    return false;
  }
});

// The phone's sensors as a real one streams them, at 60 Hz from the first
// call on: each call sets what they read from then on, and returns once the
// program has taken three samples of it (a touch's vote on the readings'
// sign needs three) and its tilt timer has read them. `xyz` is the motion
// reading in m/s^2; `angles` ([beta, gamma]), when given, goes out as
// deviceorientation before each sample, on an engine that makes that event
// (orientable). WebKit has no DeviceMotionEvent constructor: a plain event
// carries the reading. Each sample carries the time it was due as its
// timeStamp; a page too busy for the timer gets the ones it missed in a
// bunch, as a loaded browser hands over a sensor's queued events.
export async function sensor(session, xyz, angles = null) {
  const taken = await startSensor(session, xyz, angles);
  await tiltTaken(session, taken, 3, `the reading ${xyz.map((v) => v.toFixed(1))}`);
}

// Sets the readings; returns the motion samples the program will have
// taken once it has taken all given before.
const startSensor = (session, xyz, angles) => session.eval(([xyz, angles]) => {
  const s = window.ztSensor || (window.ztSensor = {});
  const first = !s.timer;
  if (first) {
    const stamped = (e, at) => {
      Object.defineProperty(e, 'timeStamp', { value: at });
      return e;
    };
    const send = (at) => {
      if (s.angles) {
        window.dispatchEvent(stamped(new DeviceOrientationEvent('deviceorientation', { alpha: 0, beta: s.angles[0], gamma: s.angles[1] }), at));
      }
      if (!s.motion) return;
      const a = { x: s.motion[0], y: s.motion[1], z: s.motion[2] };
      let e;
      if (typeof DeviceMotionEvent === 'function') {
        try { e = new DeviceMotionEvent('devicemotion', { accelerationIncludingGravity: a }); } catch (error) { e = null; }
      }
      if (!e || !e.accelerationIncludingGravity) {
        e = new Event('devicemotion');
        e.accelerationIncludingGravity = a;
      }
      s.stamps.push(at);
      window.dispatchEvent(stamped(e, at));
    };
    // Every sample due by now.
    s.flush = () => {
      for (const now = performance.now(); s.next <= now; s.next += 16) send(s.next);
    };
    s.stamps = [];
    s.timer = setInterval(s.flush, 16);
  } else {
    // The samples due so far read the posture before this call.
    s.flush();
  }
  const given = window.zentrick.page.sensors.filter((e) => e[0] === 6).length; // as samplesGiven
  const taken = window.zentrick.stats.motions + given;
  s.motion = xyz;
  s.angles = angles;
  if (first) {
    s.next = performance.now();
    s.flush();
  }
  return taken;
}, [xyz, angles]);

// Waits until the sensor has sent `n` more samples and the page has taken
// them (a loaded page takes them late): the posture has reached the phone.
export async function sensed(session, n = 3) {
  const from = await session.eval(() => window.ztSensor.stamps.length);
  await waitFor(session, ([from, n]) => {
    const stamps = window.ztSensor.stamps;
    const queued = window.zentrick.page.sensors || [];
    return stamps.length >= from + n && !queued.some((e) => e[e.length - 1] <= stamps[from + n - 1]);
  }, [from, n], `${n} samples taken by the page`);
}

// The motion sensor alone, reading [x, y, z] m/s^2 from now on.
export const motion = (session, xyz) => sensor(session, xyz);

// A fresh visit, once the window has slid in and the program has run a
// turn since that showed nothing: the page is idle, waiting for input.
export async function visit(driver, url, { query = '', width = 480, height = 720 } = {}) {
  const session = await driver.open({ url: url + query, width, height });
  await idle(session, `the first frame and the window's slide-in at ${url + query}`);
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

// The arming tap, on the right.
const ARM = [[400, 300]];

// Arms the trick, tilts (`tilt` returns once the suit has latched), and
// presses a region.
async function forceCard(session, tilt, press) {
  await tap(session, ARM);
  await tilt();
  await tap(session, press);
  return phoneScreen(session);
}

// The tilt an arrow key gives while held until the tilt timer has read it.
const keyTilt = (session, key) => async () => {
  await session.key(key, true);
  await ticked(session, `${key} held`);
  await session.key(key, false);
  await settle(session, `${key} let go`);
};

const tricks = [
  { edge: 'bottom', key: 'ArrowDown', press: [[400, 200]], suit: 'heart', card: 'the Two of hearts' },
  { edge: 'right', key: 'ArrowRight', press: [[200, 600], [400, 600]], suit: 'club', card: 'the King of clubs' },
];

// The face, sampled at phone coordinates.
function faceSamples(s) {
  const out = [];
  for (let y = FACE.y; y < FACE.y + FACE.h; y += 2) for (let x = FACE.x; x < FACE.x + FACE.w; x += 2) out.push(s.at(x, y).join());
  return out;
}

// The face of a trick's card, forced once per run with the arrow keys
// (which know no sign): a card of the right suit that chance drew must not
// pass for the forced one.
const referenceFaces = new Map();
async function referenceFace(driver, url, trick) {
  if (!referenceFaces.has(trick.card)) {
    const session = await visit(driver, url);
    const s = await forceCard(session, keyTilt(session, trick.key), trick.press);
    expectCard(s, trick.suit, `${trick.card} from the keys`);
    referenceFaces.set(trick.card, faceSamples(await phoneScreen(session)));
    await session.close();
  }
  return referenceFaces.get(trick.card);
}

// The face must be `reference`, pixel for pixel, once the page has shown
// all it drew.
async function expectFace(session, reference, what) {
  await settle(session, 'what it was given');
  const face = faceSamples(await phoneScreen(session));
  const differ = face.filter((p, i) => p !== reference[i]).length;
  check(differ === 0, `${what}: ${differ} of ${reference.length} face samples differ from the card forced with the keys`);
}

const STEEP = [0, G * Math.sin(75 * Math.PI / 180), G * Math.cos(75 * Math.PI / 180)];

// The phone held with `up` a moment, then the arming tap, and a moment after.
const armedHolding = (up) => async ({ session, hold }) => {
  await hold(up);
  await sleep(100);
  await sensed(session);
  await tap(session, ARM);
  await sleep(100);
};

// A spectator's hold: screen down, the top edge 30 degrees up. In the other
// sign it reads as a face-up phone with the top edge down, which latches
// hearts.
const SPECTATOR = [0, G * Math.sin(30 * Math.PI / 180), -G * Math.cos(30 * Math.PI / 180)];

// How a visit's first trick begins, up to the arming tap and a moment after
// it; `hold(up)` sets the phone's posture, the sensor streaming from the
// first call. `card` plays that card with both signs; `plain`, only
// without orientation and load.
const firstTricks = [
  { name: 'motion from the start', play: armedHolding(raised('flat')) },
  {
    // iOS: motion is granted by the first tap, and streams only after it.
    name: 'motion only after the arming tap',
    async play({ session, hold }) {
      await tap(session, ARM);
      await hold(raised('flat'));
      await sleep(100);
      await sensed(session);
    },
  },
  { name: 'the arming tap 75 degrees from flat', play: armedHolding(STEEP) },
  {
    // A tap on the left while idle: a random card, then the arming tap.
    name: 'a face-down tap before the trick',
    async play({ session, hold }) {
      await hold(raised('flat').map((v) => -v));
      await sleep(100);
      await sensed(session);
      await tap(session, [[100, 300]]);
      await armedHolding(raised('flat'))({ session, hold });
    },
  },
  {
    // A spectator picks the phone up and taps it twice, screen down; then
    // the performer's arming tap. Clubs: a wrong sign would keep the
    // hearts their hold latched.
    name: "a spectator's two face-down taps before the trick",
    card: 'the King of clubs',
    async play({ session, hold }) {
      await hold(SPECTATOR);
      await sleep(100);
      await sensed(session);
      await tap(session, [[100, 300]]);
      await sleep(100);
      await tap(session, [[100, 300]]);
      await sleep(100);
      await armedHolding(raised('flat'))({ session, hold });
    },
  },
  {
    // iOS's question answered slowly: motion first comes 16 s after the
    // arming tap that asked.
    name: 'motion only 16 s after the arming tap',
    plain: true,
    async play({ session, hold }) {
      await tap(session, ARM);
      await sleep(16000);
      await hold(raised('flat'));
      await sleep(100);
      await sensed(session);
    },
  },
];

// How the first tricks are played again: with deviceorientation beside the
// motion, and on a loaded phone (the page's CPU slowed, where the engine can).
const firstTrickVariants = [
  { name: '' },
  { name: ', with orientation', oriented: true },
  { name: ', the CPU 20 times slower', load: 20 },
];

export const scenarios = [
  {
    name: 'loads and draws the card back on felt',
    async run({ driver, url }) {
      const session = await visit(driver, url);
      const s = await phoneScreen(session);
      check(s.width === 480 && s.height === 720, `canvas is ${s.width}x${s.height}`);
      feltAndCardBack(s, 'idle');
      // The screen covers the page: the felt's picture is never drawn.
      await waitFor(session, () => document.documentElement.classList.contains('felt'), null, 'the first frame painted');
      check(await session.eval(() => getComputedStyle(document.body, '::before').backgroundImage) === 'none',
            'the felt picture is drawn under a screen that covers the page');
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
                    'the screen wake lock');
      noErrors(session, 'a tap');
    },
  },
  {
    name: 'the arrow keys tilt: bottom edge up, a press on the Two gives the Two of hearts',
    async run({ driver, url }) {
      const session = await visit(driver, url);
      const s = await forceCard(session, keyTilt(session, 'ArrowDown'), [[400, 200]]);
      expectCard(s, 'heart', 'keys');
    },
  },
  // Both signs of the readings: the first tap settles which one the browser uses.
  ...[1, -1].flatMap((sign) => tricks.map(({ edge, press, suit, card }) => ({
    name: `motion with ${sign > 0 ? "W3C's" : 'the opposite'} sign, ${edge} edge up: ${card}`,
    async run({ driver, url }) {
      const session = await visit(driver, url);
      const reading = (edge) => raised(edge).map((v) => sign * v);
      await motion(session, reading(edge));
      // The sensor streams a while before the arming tap, as a phone's does
      // from the page's start: the samples around the tap settle the sign at
      // once, without waiting for the page to be handed more after it.
      await sleep(100);
      const s = await forceCard(session, () => motion(session, reading(edge)), press);
      expectCard(s, suit, `${edge} edge up, sign ${sign}`);
      noErrors(session, 'motion');
    },
  }))),
  // The first trick of a visit, however motion, its permission and the
  // taps come, with either sign: the sign must be known before the tilt
  // counts. Each row plays both cards, one per sign; then again in each
  // variant (firstTrickVariants) the engine can play.
  ...firstTrickVariants.flatMap(({ name, oriented = false, load = 0 }) => firstTricks.flatMap((row, i) => [1, -1].map((sign) => {
    if (row.plain && name) return null;
    const trick = row.card ? tricks.find((t) => t.card === row.card) : tricks[(i + (sign > 0 ? 0 : 1)) % 2];
    return {
      name: `first trick, ${row.name}, ${sign > 0 ? "W3C's" : "gravity's"} sign${name}: ${trick.card}`,
      async run({ driver, url }) {
        const reference = await referenceFace(driver, url, trick);
        const session = await visit(driver, url);
        if (oriented && !await orientable(session)) skip('the engine makes no DeviceOrientationEvent');
        if (load) {
          if (!session.throttle) skip("the engine's driver cannot slow the page's CPU");
          await session.throttle(load);
        }
        // The phone held with `up` (W3C) pointing up, as the browser reports it.
        const hold = (up) => sensor(session, up.map((v) => sign * v), oriented ? anglesOf(up) : null);
        await row.play({ session, hold });
        await hold(raised(trick.edge));
        await sleep(200);
        await sensed(session);
        await hold(raised('flat')); // back to flat before the press
        await sleep(100);
        await tap(session, trick.press);
        expectCard(await phoneScreen(session), trick.suit, `${row.name}, sign ${sign}`);
        await expectFace(session, reference, `${row.name}, sign ${sign}`);
        noErrors(session, row.name);
      },
    };
  }).filter(Boolean))),
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
      await waitFor(session, () => window.zentrick.page.wakeState === 1, null, 'the screen wake lock');
      noErrors(session, 'without full screen');
    },
  },
  {
    name: '?rehearse says whether the sign of the readings is known and what settled it',
    async run({ driver, url, screenshots, engine }) {
      const signLine = (session) => session.eval(() => window.zentrick.page.rehearsal.slice(-1)[0]);
      // At a phone's size, for the screenshots.
      const session = await visit(driver, url, { query: '?rehearse', width: 390, height: 844 });
      await motion(session, [0, 0, -G]); // face up, in gravity's sign
      await settle(session, 'the samples');
      check(await signLine(session) === 'SIGN NOT YET KNOWN', `undecided: ${await signLine(session)}`);
      const before = await phoneScreen(session);
      if (screenshots) fs.writeFileSync(path.join(screenshots, `${engine}-sign-unknown.png`), await session.screenshot());
      await tap(session, ARM);
      await waitFor(session, () => window.zentrick.page.rehearsal.slice(-1)[0] !== 'SIGN NOT YET KNOWN', null, 'a decided sign');
      await settle(session, 'the samples after the tap');
      check(await signLine(session) === 'SIGN FLIPPED BY 1 OF 1 TOUCHES', `after a tap: ${await signLine(session)}`);
      const after = await phoneScreen(session);
      if (screenshots) fs.writeFileSync(path.join(screenshots, `${engine}-sign-known.png`), await session.screenshot());
      // The top line, over the wake lock's, is drawn anew.
      const changed = count(after, 0, 579, 480, 603, (p, x, y) => p.join() !== before.at(x, y).join());
      check(changed > 300, `the sign line did not change (${changed} pixels)`);
      noErrors(session, 'rehearse');
      await session.close();

      // Orientation settles it with no touch at all, where the engine can
      // make its events.
      const oriented = await visit(driver, url, { query: '?rehearse' });
      if (await orientable(oriented)) {
        await sensor(oriented, [0, 0, -G], anglesOf([0, 0, 1]));
        await waitFor(oriented, () => window.zentrick.page.rehearsal.slice(-1)[0] !== 'SIGN NOT YET KNOWN', null, 'a decided sign');
        await settle(oriented, 'the readings');
        check(await signLine(oriented) === 'SIGN FLIPPED BY ORIENTATION', `with orientation: ${await signLine(oriented)}`);
      }
    },
  },
  {
    name: 'options after the first 511 bytes of the address still count',
    async run({ driver, url }) {
      // 60 harmless options, then rehearse at byte 600 or so.
      const session = await visit(driver, url, { query: '?' + 'accel=auto&'.repeat(60) + 'rehearse' });
      check(await session.eval(() => window.zentrick.rehearse) === true, 'rehearse past byte 511 was dropped');
      noErrors(session, 'a long address');
    },
  },
  {
    name: 'on a tall phone the felt fills the bars and touches still land on the app',
    async run({ driver, url, screenshots, engine }) {
      const session = await visit(driver, url, { width: 390, height: 844 });
      // The felt's picture: asked for once the first frame is painted.
      await waitFor(session, () => getComputedStyle(document.body, '::before').backgroundImage.includes('felt.svg'), null,
                    'the felt picture in the bars');
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
        await workerInControl(first);
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

// Runs each case (those whose name holds `only`) through `run`, then
// `after`, which leaves a clean browser for the next (and starts a broken
// one again); prints a TAP-like line for each, `label` before its name;
// adds to `counts` ({ passed, failed, skipped }) and returns them. A case
// that runs past `deadline` fails, and the run goes on.
export async function runCases(cases, run, { label = '', only = '', after = async () => {}, deadline = CASE_DEADLINE,
                                             counts = { passed: 0, failed: 0, skipped: 0 } } = {}) {
  for (const c of cases) {
    if (only && !c.name.includes(only)) continue;
    const started = Date.now();
    try {
      const running = Promise.resolve().then(() => run(c));
      running.catch(() => {}); // one given up on may still fail, after `after` closed its browser
      await within(running, deadline, 'the case (a call to the browser that hung, or a wait with no deadline)');
      counts.passed++;
      console.log(`ok - ${label}${c.name} (${Date.now() - started} ms)`);
    } catch (error) {
      if (error instanceof Skip) {
        counts.skipped++;
        console.log(`ok - ${label}${c.name} # SKIP ${error.reason}`);
      } else {
        counts.failed++;
        console.log(`not ok - ${label}${c.name}\n  ${String(error && error.stack || error).split('\n').join('\n  ')}`);
      }
    }
    await after();
  }
  return counts;
}

// Says how the run went and ends it: a failure, or nothing run, fails.
export function finish({ passed, failed, skipped }) {
  console.log(`${passed} passed, ${failed} failed, ${skipped} skipped`);
  process.exit(failed === 0 && passed > 0 ? 0 : 1);
}

// Every scenario (or those whose name holds `only`), each in a fresh visit.
export const runScenarios = (engine, driver, { site, url, only = '', screenshots = '' }) =>
  runCases(scenarios, (s) => s.run({ driver, url, site, engine, screenshots }),
           { label: `${engine}: `, only, after: () => driver.closeAll() });
