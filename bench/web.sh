#!/usr/bin/env bash
# Size and speed of the web page in headless Chromium (median of 5 each):
#
#   size          the whole site, bytes as served and gzip-compressed (< 1.5 MB, < 600 KB)
#   first frame   navigation start to the first frame on the canvas, warm cache (< 300 ms)
#   touch to face a touch release to the revealed face on the canvas, measured
#                 inside the page (< 4 ms)
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
exec node bench/web_bench.mjs --site "$site"
