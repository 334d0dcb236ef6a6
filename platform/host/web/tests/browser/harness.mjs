// What the browser tests and the measurements share: the page's own static
// server on 127.0.0.1, headless Chromium, and helpers that touch, tilt and
// read the canvas through the DevTools protocol.
import { spawn } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import path from 'node:path';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const G = 9.80665;

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
  await page.waitForFunction(() => window.zentrick && window.zentrick.stats.frames > 0, null, { timeout: 10000 });
  return { page, cdp, errors, context: ctx };
}

export async function setTilt(cdp, [x, y, z]) {
  await cdp.send('Emulation.setSensorOverrideReadings', { type: 'accelerometer', reading: { xyz: { x, y, z } } });
}

// The phone tilted `degrees` towards an edge: 'top', 'bottom', 'left' or 'right' raised.
export function raised(edge, degrees = 45) {
  const s = G * Math.sin(degrees * Math.PI / 180);
  const c = G * Math.cos(degrees * Math.PI / 180);
  return { top: [0, s, c], bottom: [0, -s, c], right: [s, 0, c], left: [-s, 0, c], flat: [0, 0, G] }[edge];
}

export const frames = (page) => page.evaluate(() => window.zentrick.stats.frames);

// Waits until the page has shown a frame after `before` frames, then a
// little more for the second frame a card reveal shows.
export async function nextFrame(page, before) {
  await page.waitForFunction((n) => window.zentrick.stats.frames > n, before, { timeout: 5000 });
  await page.waitForTimeout(30);
}

export async function touch(cdp, type, x, y) {
  const points = type === 'touchEnd' || type === 'touchCancel' ? [] : [{ x, y, id: 1 }];
  await cdp.send('Input.dispatchTouchEvent', { type, touchPoints: points });
}

// A finger down at (x, y) and up at (x2, y2) (page pixels), and the frame it shows.
export async function tap(page, cdp, x, y, x2 = x, y2 = y, { expectFrame = true } = {}) {
  const before = await frames(page);
  await touch(cdp, 'touchStart', x, y);
  if (x2 !== x || y2 !== y) await touch(cdp, 'touchMove', x2, y2);
  await touch(cdp, 'touchEnd', x2, y2);
  if (expectFrame) await nextFrame(page, before);
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
