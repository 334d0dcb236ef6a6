// The engine-specific halves of the scenarios (scenarios.mjs describes a
// driver): Chromium through Playwright, Firefox through Puppeteer over
// WebDriver BiDi, WebKit through Selenium and WebKitWebDriver.
import { execFile, spawn } from 'node:child_process';
import net from 'node:net';
import { promisify } from 'node:util';

const run = promisify(execFile);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Chromium: a context (a profile) per scenario, a page per visit, touches
// through the DevTools protocol.
export function chromiumDriver(browser) {
  let context = null;
  return {
    async open({ url, width, height }) {
      context = context || await browser.newContext({ viewport: { width, height }, hasTouch: true });
      const page = await context.newPage();
      await page.setViewportSize({ width, height });
      const errors = [];
      page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
      page.on('pageerror', (e) => errors.push(e.message));
      const cdp = await context.newCDPSession(page);
      // Headless pages are never focused otherwise, and focus is activation.
      await cdp.send('Emulation.setFocusEmulationEnabled', { enabled: true });
      await page.goto(url);
      return {
        eval: (fn, arg) => page.evaluate(fn, arg),
        async touch(points) {
          for (const [i, [x, y]] of points.entries()) {
            await cdp.send('Input.dispatchTouchEvent', { type: i === 0 ? 'touchStart' : 'touchMove', touchPoints: [{ x, y, id: 1 }] });
          }
          await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
        },
        key: (code, down) => (down ? page.keyboard.down(code) : page.keyboard.up(code)),
        screenshot: () => page.screenshot(),
        errors: () => errors,
        // The page's CPU `rate` times slower (1: as it is), as on a loaded phone.
        throttle: (rate) => cdp.send('Emulation.setCPUThrottlingRate', { rate }),
        close: () => page.close(),
      };
    },
    async closeAll() {
      if (context) await context.close().catch(() => {});
      context = null;
    },
  };
}

// Firefox ESR, headless, over WebDriver BiDi: its touch actions arrive as
// pointerType "touch".
export async function firefoxDriver(executablePath) {
  const { default: puppeteer } = await import('puppeteer-core');
  const browser = await puppeteer.launch({ browser: 'firefox', executablePath, headless: true, protocol: 'webDriverBiDi' });
  const pages = [];
  return {
    async open({ url, width, height }) {
      const page = await browser.newPage();
      pages.push(page);
      await page.setViewport({ width, height, hasTouch: true });
      const errors = [];
      page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
      page.on('pageerror', (e) => errors.push(e.message));
      await page.goto(url);
      return {
        eval: (fn, arg) => page.evaluate(fn, arg),
        async touch(points) {
          await page.touchscreen.touchStart(...points[0]);
          for (const p of points.slice(1)) await page.touchscreen.touchMove(...p);
          await page.touchscreen.touchEnd();
        },
        key: (code, down) => (down ? page.keyboard.down(code) : page.keyboard.up(code)),
        screenshot: () => page.screenshot(),
        errors: () => errors,
        close: () => page.close(),
      };
    },
    async closeAll() {
      for (const p of pages.splice(0)) await p.close().catch(() => {});
    },
    quit: () => browser.close(),
  };
}

async function freePort() {
  const server = net.createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

// WebKitGTK's MiniBrowser under WebKitWebDriver, on an X display (Xvfb):
// one window, a new visit per open. No BiDi, so no console to read.
export async function webkitDriver(miniBrowser) {
  const { Builder, Key } = await import('selenium-webdriver');
  const { Command } = await import('selenium-webdriver/lib/command.js');
  const port = await freePort();
  const service = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore' });
  for (let tries = 0; ; tries++) {
    const up = await new Promise((resolve) => {
      const socket = net.connect(port, '127.0.0.1', () => { socket.end(); resolve(true); });
      socket.on('error', () => resolve(false));
    });
    if (up) break;
    if (tries > 100) throw new Error('WebKitWebDriver did not start');
    await sleep(50);
  }
  const driver = await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities({
    browserName: 'MiniBrowser',
    'webkitgtk:browserOptions': { binary: miniBrowser, args: ['--automation'] },
  }).build();
  const keys = { ArrowUp: Key.ARROW_UP, ArrowDown: Key.ARROW_DOWN, ArrowLeft: Key.ARROW_LEFT, ArrowRight: Key.ARROW_RIGHT, KeyF: 'f' };
  const actions = (list) => driver.execute(new Command('actions').setParameter('actions', list));
  // The window's inner size is the page's: the toolbar and frame around it
  // are measured once and added.
  let size = null;
  async function resize(width, height) {
    if (size && size.width === width && size.height === height) return;
    for (let i = 0; i < 3; i++) {
      const rect = await driver.manage().window().getRect();
      const inner = await driver.executeScript('return [innerWidth, innerHeight]');
      if (inner[0] === width && inner[1] === height) break;
      await driver.manage().window().setRect({ width: rect.width + width - inner[0], height: rect.height + height - inner[1] });
    }
    size = { width, height };
  }
  // With no window manager a resized window loses the focus; without it
  // the page is inactive and shows its taskbar strip.
  async function focus() {
    const title = await driver.getTitle();
    await run('xdotool', ['search', '--onlyvisible', '--name', title, 'windowfocus', '--sync']).catch(() => {});
    await driver.executeScript("window.dispatchEvent(new Event('focus'))");
  }
  return {
    async open({ url, width, height }) {
      await driver.get('about:blank');
      await resize(width, height);
      await driver.get(url);
      await focus();
      return {
        eval: (fn, arg) => driver.executeScript(`return (${fn})(arguments[0]);`, arg === undefined ? null : arg),
        async touch(points) {
          const steps = [{ type: 'pointerMove', x: points[0][0], y: points[0][1], origin: 'viewport', duration: 0 },
                         { type: 'pointerDown', button: 0 }];
          for (const [x, y] of points.slice(1)) steps.push({ type: 'pointerMove', x, y, origin: 'viewport', duration: 50 });
          steps.push({ type: 'pointerUp', button: 0 });
          await actions([{ type: 'pointer', id: 'finger', parameters: { pointerType: 'touch' }, actions: steps }]);
        },
        key: (code, down) => actions([{ type: 'key', id: 'keys', actions: [{ type: down ? 'keyDown' : 'keyUp', value: keys[code] }] }]),
        screenshot: async () => Buffer.from(await driver.takeScreenshot(), 'base64'),
        errors: () => null,
        close: () => driver.get('about:blank'),
      };
    },
    async closeAll() {},
    async quit() {
      await driver.quit().catch(() => {});
      service.kill();
    },
  };
}
