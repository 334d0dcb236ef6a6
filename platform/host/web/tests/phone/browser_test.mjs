// zentrick-phone's page in headless Chromium as a phone that trusts the
// authority and nothing else would open it: a fresh NSS database holding
// only that authority, the certificate's .local name mapped to 127.0.0.1
// (every other name resolves to nothing, so no request leaves the machine).
// Also: the authority cannot vouch for a public name, and on a tall phone
// the felt around the app's screen continues the app's own.
//
//   node browser_test.mjs --site SITE --phone PHONE.PY [--screenshots DIR]
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { argument, asSession, idle, keepChromium, open, raised, serve, start, tap, tiltRead, screen,
         workerInControl } from '../browser/harness.mjs';
import { check, count, decodePng, FACE, finish, isRedInk, isWhite, runCases } from '../browser/scenarios.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const site = argument('--site', 'build-web/site');
const phone = argument('--phone', path.join(here, '..', '..', 'phone.py'));
const screenshots = argument('--screenshots', '');
const NAME = 'zentrick-test.local';

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zt-phone-browser-'));
const data = path.join(work, 'data');
const home = path.join(work, 'home');
const nssdb = path.join(home, '.pki', 'nssdb');
const cases = [];
const test = (name, body) => cases.push({ name, body });

test('the page over https is a secure context: worker, motion, a forced card, and offline', async ({ browser, server }) => {
  const context = await browser.newContext({ viewport: { width: 480, height: 720 }, hasTouch: true });
  const url = `https://${NAME}:${server.port}/`;
  const { page, cdp, errors } = await open(browser, url, { tilt: raised('bottom'), context });
  check(await page.evaluate(() => window.isSecureContext && location.protocol === 'https:'), 'not a secure context');
  await workerInControl(asSession(page));
  // The bottom edge raised by the motion sensor, the Two pressed: the Two of hearts.
  await tap(page, cdp, 400, 300);
  await tiltRead(page, 'the tilt after the arming tap');
  await tap(page, cdp, 400, 200);
  const s = await screen(page);
  check(isWhite(s.at(FACE.x + 20, FACE.y + 20)), 'no white face');
  const heart = count(s, FACE.x + 165, FACE.y + 285, FACE.x + 315, FACE.y + 435, isRedInk);
  check(heart > 5000, `no heart from the motion sensor (${heart} red pixels)`);
  check(errors.length === 0, 'console errors: ' + errors.join(' | '));
  // The laptop goes away; the page still loads, from the worker's copy.
  check(await server.stop('SIGINT') === 0, 'zentrick-phone did not stop cleanly on Ctrl+C');
  await page.reload();
  await idle(asSession(page), 'the first frame with the server stopped');
  await tap(page, cdp, 100, 300);
  check(isWhite((await screen(page)).at(FACE.x + 30, FACE.y + 30)), 'no card with the server stopped');
  await context.close();
});

test('the authority vouches for a .local name, not for a public one', async ({ browser }) => {
  const context = await browser.newContext();
  const page = await context.newPage();
  for (const [name, allowed] of [['ok-test.local', true], ['example.com', false]]) {
    const leaf = await start('timeout', ['300', 'python3', path.join(here, 'leaf_server.py'), data, name, '120'],
                             /port (\d+)/);
    try {
      let failure = null;
      await page.goto(`https://${name}:${leaf.port}/`).catch((e) => { failure = e.message; });
      if (allowed) {
        check(failure === null, `${name} refused: ${failure}`);
        check((await page.textContent('p')).includes('served'), `${name} shows no page`);
      } else {
        check(failure !== null && /ERR_CERT_/.test(failure), `${name} was not refused for its certificate: ${failure}`);
      }
    } finally {
      await leaf.stop('SIGINT');
    }
  }
  await context.close();
});

test('on a tall phone the felt around the screen meets the app\'s felt with no seam', async ({ browser, plain }) => {
  const context = await browser.newContext({ viewport: { width: 390, height: 844 }, hasTouch: true });
  const { page } = await open(browser, plain, { context, viewport: { width: 390, height: 844 } });
  const box = await page.evaluate(() => { const r = document.getElementById('screen').getBoundingClientRect(); return [r.top, r.bottom]; });
  const png = await page.screenshot();
  if (screenshots) fs.writeFileSync(path.join(screenshots, 'phone-tall.png'), png);
  const shot = decodePng(png);
  // Each of ten stretches of each edge: the three rows just outside against
  // the three just inside, in each colour. The cloth's own shading changes
  // by less than 3 over six rows.
  const worst = [];
  for (const [edge, outside, inside] of [['top', Math.floor(box[0]) - 3, Math.ceil(box[0])],
                                         ['bottom', Math.ceil(box[1]), Math.floor(box[1]) - 3]]) {
    for (let part = 0; part < 10; part++) {
      const left = part * 39, right = left + 39;
      const mean = (top) => [0, 1, 2].map((c) => {
        let sum = 0;
        for (let y = top; y < top + 3; y++) for (let x = left; x < right; x++) sum += shot.at(x, y)[c];
        return sum / (3 * 39);
      });
      const a = mean(outside), b = mean(inside);
      const gap = Math.max(...a.map((v, c) => Math.abs(v - b[c])));
      worst.push([gap, `${edge} x ${left}-${right}: outside ${a.map(Math.round)} inside ${b.map(Math.round)}`]);
    }
  }
  worst.sort((p, q) => q[0] - p[0]);
  check(worst[0][0] < 4, `a seam in the felt: ${worst[0][1]}`);
  await context.close();
});

const counts = { passed: 0, failed: 0, skipped: 0 };
let chromium = null;
let server = null;
let plain = null;
try {
  server = await start('timeout', ['300', 'python3', phone, '--site', site, '--data', data, '--bind', '127.0.0.1',
                                   '--port', '0', '--cert-port', '0', '--name', NAME],
                       /https:\/\/127\.0\.0\.1:(\d+)\//, { ZT_PHONE_ADDRESSES: '192.168.77.10' });
  fs.mkdirSync(nssdb, { recursive: true });
  execFileSync('certutil', ['-N', '-d', `sql:${nssdb}`, '--empty-password']);
  execFileSync('certutil', ['-A', '-d', `sql:${nssdb}`, '-t', 'C,,', '-n', 'zentrick', '-i', path.join(data, 'ca.pem')]);
  chromium = await keepChromium({
    args: [`--host-resolver-rules=MAP ${NAME} 127.0.0.1, MAP ok-test.local 127.0.0.1, MAP example.com 127.0.0.1, MAP * ~NOTFOUND, EXCLUDE 127.0.0.1`],
    env: { ...process.env, HOME: home },
  });
  // The page over plain http on loopback, for the felt.
  plain = await serve(site);
  await runCases(cases, (c) => c.body({ browser: chromium.browser(), server, plain: plain.url }),
                 { counts, after: chromium.reset });
} finally {
  if (chromium) await chromium.close();
  if (server) await server.stop();
  if (plain) plain.stop();
  fs.rmSync(work, { recursive: true, force: true });
}
finish(counts);
