// The web page's size and speed; see bench/web.sh.
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { argument, serve, launch, open, raised, tap, touch, frames, nextFrame } from '../platform/host/web/tests/browser/harness.mjs';

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

  // A forced reveal: arm, press the Two, release; release to the last frame.
  const reveal = await open(browser, server.url, { tilt: raised('bottom') });
  const faces = [];
  for (let i = 0; i < runs; i++) {
    await tap(reveal.page, reveal.cdp, 400, 300); // arm (or re-arm)
    await reveal.page.waitForTimeout(60);
    await tap(reveal.page, reveal.cdp, 400, 200);
    await reveal.page.waitForTimeout(50);
    faces.push(await reveal.page.evaluate(() => window.zentrick.stats.presentedAt - window.zentrick.stats.releasedAt));
    await tap(reveal.page, reveal.cdp, 400, 300); // back to the card back
  }
  const face = median(faces);
  row('touch release to face', '< 4 ms', `${face.toFixed(2)} ms`, face < 4, faces.map((t) => t.toFixed(1)).join(' '));
  await reveal.context.close();

  // Idle: the page shows the card back and the timer ticks every 10 ms.
  const busy = [];
  const idle = await open(browser, server.url);
  await idle.cdp.send('Performance.enable', { timeDomain: 'timeTicks' });
  const taskSeconds = async () => (await idle.cdp.send('Performance.getMetrics')).metrics.find((m) => m.name === 'TaskDuration').value;
  await idle.page.waitForTimeout(500);
  for (let i = 0; i < runs; i++) {
    const before = await taskSeconds();
    const wakes = await idle.page.evaluate(() => window.zentrick.stats.wakes);
    const started = Date.now();
    await idle.page.waitForTimeout(10000);
    const seconds = (Date.now() - started) / 1000;
    const woke = (await idle.page.evaluate(() => window.zentrick.stats.wakes)) - wakes;
    busy.push({ share: (await taskSeconds() - before) / seconds * 100, rate: woke / seconds });
  }
  const b = median(busy.map((x) => x.share));
  // For scale: what the browser itself spends on a bare 10 ms setTimeout
  // loop on the same machine, in the same way.
  const bare = await idle.context.newPage();
  await bare.setContent('<script>(function tick() { setTimeout(tick, 10); })();</script>');
  const bareCdp = await idle.context.newCDPSession(bare);
  await bareCdp.send('Performance.enable', { timeDomain: 'timeTicks' });
  const bareSeconds = async () => (await bareCdp.send('Performance.getMetrics')).metrics.find((m) => m.name === 'TaskDuration').value;
  await idle.page.close();
  const bareBefore = await bareSeconds();
  const bareStarted = Date.now();
  await bare.waitForTimeout(10000);
  const bareShare = (await bareSeconds() - bareBefore) / ((Date.now() - bareStarted) / 1000) * 100;
  row('idle main-thread busy', '< 2%', `${b.toFixed(2)}%`, b < 2,
      `${busy.map((x) => x.share.toFixed(2)).join(' ')}; ${median(busy.map((x) => x.rate)).toFixed(0)} wakes/s; ` +
      `a bare 10 ms setTimeout loop: ${bareShare.toFixed(2)}%`);
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
