// The shared scenarios (scenarios.mjs) in Firefox or WebKit; Chromium runs
// them from web_test.mjs beside its own checks.
//
//   node engine_test.mjs --engine firefox|webkit --site BUILD-WEB/site
//        [--browser PATH] [--only NAME] [--screenshots DIR]
import fs from 'node:fs';
import { argument, serve } from './harness.mjs';
import { firefoxDriver, webkitDriver } from './drivers.mjs';
import { finish, runScenarios } from './scenarios.mjs';

const engine = argument('--engine', '');
const site = argument('--site', 'build-web/site');
const screenshots = argument('--screenshots', '');
// A folder asked for is made: a screenshot must not fail the scenario.
if (screenshots) fs.mkdirSync(screenshots, { recursive: true });
const starts = {
  firefox: () => firefoxDriver(argument('--browser', '/usr/bin/firefox-esr')),
  webkit: () => webkitDriver(argument('--browser', '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser')),
};
if (!starts[engine]) {
  console.error('engine_test: --engine firefox or webkit');
  process.exit(2);
}
const server = await serve(site);
const driver = await starts[engine]();
let result = { passed: 0, failed: 1, skipped: 0 };
try {
  result = await runScenarios(engine, driver, { site, url: server.url, only: argument('--only', ''), screenshots });
} finally {
  await driver.quit();
  server.stop();
}
finish(result);
