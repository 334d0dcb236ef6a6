#!/usr/bin/env bash
# Size and speed of the web page (medians of 5 each):
#
#   site gzip     the whole site, gzip -9 per file (< 500 KB)
#   first frame   navigation start to the first frame on the canvas of a
#                 reopened page (the service worker answering), in Chromium
#                 (< 150 ms) and in Firefox and WebKit (< 1.5 times
#                 Chromium's), the engines taking turns; with the time each
#                 step took (start_marks.js): the page and its script, the
#                 wasm fetched and compiled, instantiated, its constructors,
#                 start-up to the first frame, and its paint
#   touch to face a touch release to the revealed face on the canvas, measured
#                 inside the page, headless Chromium (< 4 ms)
#   first reveal  a visit's first reveal to the later ones (< 1.5 times)
#   idle busy     main-thread busy time with the 10 ms timer running, to a blank
#                 page's with a bare 10 ms setTimeout loop open beside it, over
#                 the same 5 s windows once the page has settled (3 s), from the
#                 DevTools Performance metrics (median ratio < 1.3)
#
# usage: bench/web.sh [SITE-DIR]     (default: build-web/site, built by make web)
set -euo pipefail
cd "$(dirname "$0")/.."
site=${1:-build-web/site}
[ -f "$site/index.html" ] || { echo "bench/web.sh: no $site/index.html; build it first (make web)" >&2; exit 2; }
tests=platform/host/web/tests/browser
[ -f "$tests/node_modules/playwright-core/package.json" ] ||
  { echo "bench/web.sh: playwright-core is missing (scripts/setup)" >&2; exit 2; }
minibrowser=${ZT_MINIBROWSER:-/usr/lib/$(gcc -print-multiarch 2>/dev/null || echo x86_64-linux-gnu)/webkit2gtk-4.1/MiniBrowser}
# WebKit's window needs an X server of its own (24-bit, as the tests').
exec xvfb-run -a -s "-screen 0 1280x1024x24" node bench/web_bench.mjs --site "$site" --minibrowser "$minibrowser"
