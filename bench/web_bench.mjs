// The web page's size and speed; see bench/web.sh.
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { argument, serve, launch, open, raised, tap } from '../platform/host/web/tests/browser/harness.mjs';

const site = argument('--site', 'build-web/site');
const runs = Number(argument('--runs', '5'));
const median = (xs) => { const s = [...xs].sort((a, b) => a - b); return s[Math.floor(s.length / 2)]; };
const rows = [];
const row = (what, target, value, ok, detail) => rows.push({ what, target, value, ok, detail });

// Size: every file the service worker caches is every file there is.
let raw = 0, packed = 0;
for (const name of fs.readdirSync(site)) {
  const bytes = fs.readFileSync(path.join(site, name));
  raw += bytes.length;
  packed += zlib.gzipSync(bytes, { level: 9 }).length;
}
row('site size', '< 1.5 MB', `${(raw / 1e6).toFixed(2)} MB`, raw < 1.5e6, `${fs.readdirSync(site).length} files`);
row('site gzip', '< 600 KB', `${Math.round(packed / 1e3)} KB`, packed < 600e3, 'gzip -9 per file');

const server = await serve(site);
const browser = await launch();
try {
  // First frame with a warm cache: one visit installs the service worker,
  // then each navigation is timed from its own start.
  const context = await browser.newContext({ viewport: { width: 480, height: 720 }, hasTouch: true });
  const { page } = await open(browser, server.url, { context });
  await page.waitForFunction(() => navigator.serviceWorker.controller !== null, null, { timeout: 10000 });
  const firsts = [];
  for (let i = 0; i < runs; i++) {
    await page.goto(server.url);
    await page.waitForFunction(() => window.zentrick && window.zentrick.stats.frames > 0, null, { timeout: 10000 });
    firsts.push(await page.evaluate(() => window.zentrick.stats.firstFrameAt));
  }
  const ff = median(firsts);
  row('first frame, warm', '< 300 ms', `${ff.toFixed(0)} ms`, ff < 300, firsts.map((t) => t.toFixed(0)).join(' '));
  await context.close();

  // A forced reveal: a right-hand tap on the idle page arms the trick and
  // shows the card back, a press on the Two's region reveals; release to the
  // last frame. A reveal leaves the trick idle, so the next right-hand tap
  // arms it again. Each visit's first reveal (the page warms up after its
  // first frame) and the ones after it, on fresh pages.
  const reveal = async (r) => {
    await tap(r.page, r.cdp, 400, 300); // arm
    await r.page.waitForTimeout(60);
    await tap(r.page, r.cdp, 400, 200);
    await r.page.waitForTimeout(50);
    return r.page.evaluate(() => window.zentrick.stats.presentedAt - window.zentrick.stats.releasedAt);
  };
  const firstFaces = [], faces = [];
  for (let i = 0; i < runs; i++) {
    const visit = await open(browser, server.url, { tilt: raised('bottom') });
    await visit.page.waitForTimeout(500);
    firstFaces.push(await reveal(visit));
    for (let j = 0; j < 2; j++) faces.push(await reveal(visit));
    await visit.context.close();
  }
  const face = median(faces);
  const firstFace = median(firstFaces);
  row('touch release to face', '< 4 ms', `${face.toFixed(2)} ms`, face < 4, faces.map((t) => t.toFixed(1)).join(' '));
  row('first reveal of a visit', '< 1.5x', `${(firstFace / face).toFixed(2)}x`, firstFace / face <= 1.5,
      `${firstFace.toFixed(2)} ms: ${firstFaces.map((t) => t.toFixed(1)).join(' ')}`);

  // Idle: the page shows the card back and the timer ticks every 10 ms. For
  // scale, a blank page with a bare 10 ms setTimeout loop runs beside it,
  // both open at once and measured over the same windows: the ratio holds on
  // a loaded machine where the shares alone do not.
  const idle = await open(browser, server.url);
  const bare = await idle.context.newPage();
  await bare.setContent('<script>(function tick() { setTimeout(tick, 10); })();</script>');
  const bareCdp = await idle.context.newCDPSession(bare);
  const taskSeconds = async (cdp) => (await cdp.send('Performance.getMetrics')).metrics.find((m) => m.name === 'TaskDuration').value;
  for (const cdp of [idle.cdp, bareCdp]) await cdp.send('Performance.enable', { timeDomain: 'timeTicks' });
  // The page settles first, as one left open does: in its first seconds the
  // browser installs the service worker and compiles the code each tick
  // runs again with its optimising tier, on the same two cores.
  await idle.page.waitForTimeout(3000);
  const windows = [];
  for (let i = 0; i < runs; i++) {
    const before = [await taskSeconds(idle.cdp), await taskSeconds(bareCdp)];
    const wakes = await idle.page.evaluate(() => window.zentrick.stats.wakes);
    const started = Date.now();
    await idle.page.waitForTimeout(5000);
    const seconds = (Date.now() - started) / 1000;
    const woke = (await idle.page.evaluate(() => window.zentrick.stats.wakes)) - wakes;
    const page = (await taskSeconds(idle.cdp) - before[0]) / seconds * 100;
    const blank = (await taskSeconds(bareCdp) - before[1]) / seconds * 100;
    windows.push({ page, blank, ratio: page / blank, rate: woke / seconds });
  }
  const ratio = median(windows.map((w) => w.ratio));
  row('idle busy, to a bare loop', '< 1.3x', `${ratio.toFixed(2)}x`, ratio <= 1.3,
      `${windows.map((w) => w.ratio.toFixed(2)).join(' ')}; page ${median(windows.map((w) => w.page)).toFixed(2)}%, ` +
      `bare 10 ms setTimeout loop ${median(windows.map((w) => w.blank)).toFixed(2)}%; ` +
      `${median(windows.map((w) => w.rate)).toFixed(0)} wakes/s`);
} finally {
  await browser.close();
  server.stop();
}

let failed = 0;
for (const r of rows) {
  if (!r.ok) failed++;
  console.log(`${r.what.padEnd(24)} ${r.target.padEnd(9)} ${r.value.padStart(9)}  ${r.ok ? 'ok  ' : 'OVER'}  ${r.detail}`);
}
process.exit(failed ? 1 : 0);
