// The engine-specific halves of the scenarios (scenarios.mjs describes a
// driver): Chromium through Playwright, Firefox through Puppeteer over
// WebDriver BiDi, WebKit through Selenium and WebKitWebDriver. Each case
// has a profile of its own (workers, caches and storage start empty), and
// closeAll(), after it, starts the browser again where it broke.
import { execFile, spawn } from 'node:child_process';
import net from 'node:net';
import { promisify } from 'node:util';
import { within } from './harness.mjs';

const run = promisify(execFile);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
// How long closing a case's profile or session may take before the
// browser counts as broken.
const CLOSING = 60000;

// Chromium (a harness.mjs keeper): a context (a profile) per case, a page
// per visit, touches through the DevTools protocol.
export function chromiumDriver(chromium) {
  return {
    async open({ url, width, height }) {
      const context = chromium.browser().contexts()[0] ||
        await chromium.browser().newContext({ viewport: { width, height }, hasTouch: true });
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
    closeAll: () => chromium.reset(),
  };
}

// Firefox ESR, headless, over WebDriver BiDi: its touch actions arrive as
// pointerType "touch".
export async function firefoxDriver(executablePath) {
  const { default: puppeteer } = await import('puppeteer-core');
  const start = () => puppeteer.launch({ browser: 'firefox', executablePath, headless: true, protocol: 'webDriverBiDi' });
  let browser = await start();
  let context = null;
  return {
    async open({ url, width, height }) {
      context = context || await browser.createBrowserContext();
      const page = await context.newPage();
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
      const closing = context;
      context = null;
      const closed = !closing || await within(closing.close(), CLOSING, 'closing the case\'s context').then(() => true, () => false);
      if (closed && browser.connected) return;
      console.log('# Firefox broke: starting it again');
      await within(browser.close(), CLOSING, 'closing Firefox').catch(() => browser.process()?.kill('SIGKILL'));
      browser = await start();
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
// one session while it works (starting a browser is slow, and now and then
// one never answers), a new visit per open. A case's first visit clears
// what earlier ones left on its origin (service workers, caches) first. No
// BiDi, so no console to read.
export async function webkitDriver(miniBrowser) {
  const { Builder, Key } = await import('selenium-webdriver');
  const { Command } = await import('selenium-webdriver/lib/command.js');
  const keys = { ArrowUp: Key.ARROW_UP, ArrowDown: Key.ARROW_DOWN, ArrowLeft: Key.ARROW_LEFT, ArrowRight: Key.ARROW_RIGHT, KeyF: 'f' };

  // WebKitWebDriver in a process group of its own, with the browsers it
  // starts: a broken one ends with all of them.
  let service = null;
  let port = 0;
  async function startService() {
    port = await freePort();
    service = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore', detached: true });
    for (const until = Date.now() + 60000; ;) {
      const up = await new Promise((resolve) => {
        const socket = net.connect(port, '127.0.0.1', () => { socket.end(); resolve(true); });
        socket.on('error', () => resolve(false));
      });
      if (up) return;
      if (service.exitCode !== null || Date.now() > until) throw new Error(`WebKitWebDriver did not start on port ${port}`);
      await sleep(50);
    }
  }
  function stopService() {
    try { process.kill(-service.pid, 'SIGKILL'); } catch (error) { /* already gone */ }
  }
  await startService();

  let driver = null;
  let broken = false;
  let fresh = true;
  async function startSession() {
    const starting = new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities({
      browserName: 'MiniBrowser',
      'webkitgtk:browserOptions': { binary: miniBrowser, args: ['--automation'] },
    }).build();
    starting.catch(() => {});
    try {
      driver = await within(starting, CLOSING, 'starting MiniBrowser through WebKitWebDriver');
    } catch (error) {
      broken = true;
      throw error;
    }
    size = null;
  }
  // No worker and no cache of `url`'s origin: read on one of its plain files.
  async function clearOrigin(url) {
    await driver.get(new URL('licenses.txt', url).href);
    await driver.executeScript(`return Promise.all([
      navigator.serviceWorker ? navigator.serviceWorker.getRegistrations().then((rs) => Promise.all(rs.map((r) => r.unregister()))) : null,
      self.caches ? caches.keys().then((names) => Promise.all(names.map((n) => caches.delete(n)))) : null]).then(() => true);`);
  }
  // The window's inner size is the page's: the toolbar and frame around it
  // are measured once a session and added.
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
    await run('xdotool', ['search', '--onlyvisible', '--name', title, 'windowfocus', '--sync'], { timeout: 60000 }).catch(() => {});
    await driver.executeScript("window.dispatchEvent(new Event('focus'))");
  }
  return {
    async open({ url, width, height }) {
      if (!driver) await startSession();
      if (fresh) {
        fresh = false;
        await clearOrigin(url);
      }
      const session = driver;
      const actions = (list) => session.execute(new Command('actions').setParameter('actions', list));
      await session.get('about:blank');
      await resize(width, height);
      await session.get(url);
      await focus();
      return {
        eval: (fn, arg) => session.executeScript(`return (${fn})(arguments[0]);`, arg === undefined ? null : arg),
        async touch(points) {
          const steps = [{ type: 'pointerMove', x: points[0][0], y: points[0][1], origin: 'viewport', duration: 0 },
                         { type: 'pointerDown', button: 0 }];
          for (const [x, y] of points.slice(1)) steps.push({ type: 'pointerMove', x, y, origin: 'viewport', duration: 50 });
          steps.push({ type: 'pointerUp', button: 0 });
          await actions([{ type: 'pointer', id: 'finger', parameters: { pointerType: 'touch' }, actions: steps }]);
        },
        key: (code, down) => actions([{ type: 'key', id: 'keys', actions: [{ type: down ? 'keyDown' : 'keyUp', value: keys[code] }] }]),
        screenshot: async () => Buffer.from(await session.takeScreenshot(), 'base64'),
        errors: () => null,
        close: () => session.get('about:blank'),
      };
    },
    // A session that no longer answers ends, and takes WebKitWebDriver and
    // its browsers with it; the next case starts them again.
    async closeAll() {
      fresh = true;
      if (driver && await within(driver.get('about:blank'), CLOSING, 'a visit of about:blank').then(() => true, () => false)) return;
      if (!driver && !broken) return;
      console.log('# WebKitWebDriver or MiniBrowser broke: starting them again');
      if (driver) await within(driver.quit(), CLOSING, 'ending the WebDriver session').catch(() => {});
      driver = null;
      broken = false;
      stopService();
      await startService();
    },
    async quit() {
      if (driver) await within(driver.quit(), CLOSING, 'ending the WebDriver session').catch(() => {});
      stopService();
    },
  };
}
