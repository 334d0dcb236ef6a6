#!/usr/bin/env bash
# The web page in headless Chromium: builds the page (scripts/build-web),
# then runs web_test.mjs against it. Exits 77 (skipped) only when
# emscripten, Node or Chromium is missing; CI has all three (scripts/setup).
#
#   run.sh SOURCE-DIR [ZENTRICK-SIM]
set -euo pipefail
src=$(cd "$1" && pwd)
sim=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
for tool in emcmake node chromium; do
  if ! command -v "$tool" >/dev/null; then
    echo "web_browser: skipped: $tool is not installed (scripts/setup installs it)"
    exit 77
  fi
done
if [ ! -f "$here/node_modules/playwright-core/package.json" ]; then
  echo "web_browser: playwright-core is missing in $here/node_modules (scripts/setup runs npm ci there)" >&2
  exit 1
fi
if ! log=$(JOBS=${JOBS:-2} bash "$src/scripts/build-web" "$src/build-web" 2>&1); then
  echo "$log" | tail -40
  echo "web_browser: the page does not build" >&2
  exit 1
fi
exec node "$here/web_test.mjs" --site "$src/build-web/site" ${sim:+--sim "$sim"}
