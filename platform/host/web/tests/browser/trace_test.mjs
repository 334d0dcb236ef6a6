// ?trace on the page: every line reaches the page's log at info level, from
// the calls of the phone's boot (made from the application object's
// constructor, before main) to the last of a reveal. A line that misses the
// page's sink falls through to standard error, which the page shows as a
// warning. Chromium's own check (web_test.mjs runs it): only its console
// tells the levels apart.
import { open, raised, tap, tiltRead } from './harness.mjs';
import { check } from './scenarios.mjs';

export const traceCases = [
  {
    name: '?trace=all logs every line at info level, from the boot to a reveal',
    async body({ browser, url }) {
      const context = await browser.newContext({ viewport: { width: 480, height: 720 }, hasTouch: true });
      const lines = [];
      context.on('console', (m) => { if (m.text().includes('trace:')) lines.push({ type: m.type(), text: m.text() }); });
      const { page, cdp } = await open(browser, url, { context, query: '?trace=all', tilt: raised('bottom') });
      await tap(page, cdp, 400, 300); // arm
      await tiltRead(page, 'the tilt after the arming tap');
      const before = lines.length;
      // The tap returns once the page has drawn all of the reveal, and its
      // console lines have come before that answer.
      await tap(page, cdp, 400, 200); // the Two of hearts

      const notInfo = lines.filter((l) => l.type !== 'info');
      check(notInfo.length === 0, `${notInfo.length} of ${lines.length} trace lines not at info level, ` +
            `first: ${notInfo.length ? `${notInfo[0].type} "${notInfo[0].text}"` : ''}`);
      // The application object's first call, at start-up, and the reveal.
      check(lines.some((l) => l.text.startsWith('trace:shell: FindWindowW("CTaskBar",')),
            `no start-up line among ${lines.length}: ${lines.slice(0, 3).map((l) => l.text).join(' | ')}`);
      const reveal = lines.slice(before);
      check(reveal.some((l) => l.text.startsWith('trace:gdi: ')) && reveal.some((l) => l.text.startsWith('trace:msg: ')),
            `the reveal logged ${reveal.length} lines, none of drawing or messages`);
    },
  },
];
