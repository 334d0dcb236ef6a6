#!/usr/bin/env bash
# The web page in one browser engine: builds the page (scripts/build-web),
# then runs the tests against it. Chromium runs web_test.mjs (its own checks
# and the shared scenarios), Firefox and WebKit the shared scenarios
# (engine_test.mjs). Skipped (77) only when a tool is missing, and a
# failure then where CI is set: CI has them all (scripts/setup).
#
#   run.sh chromium|firefox|webkit SOURCE-DIR [ZENTRICK-SIM]
set -euo pipefail
engine=$1
src=$(cd "$2" && pwd)
sim=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$src/scripts/skip.sh"
minibrowser=${ZT_MINIBROWSER:-/usr/lib/$(gcc -print-multiarch 2>/dev/null || echo x86_64-linux-gnu)/webkit2gtk-4.1/MiniBrowser}

case "$engine" in
  chromium) tools=(emcmake node chromium); package=playwright-core ;;
  firefox) tools=(emcmake node firefox-esr); package=puppeteer-core ;;
  webkit) tools=(emcmake node WebKitWebDriver xvfb-run xdotool); package=selenium-webdriver ;;
  *) echo "run.sh: unknown engine \"$engine\" (chromium, firefox or webkit)" >&2; exit 2 ;;
esac
for tool in "${tools[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    skip "web_$engine: $tool is not installed (scripts/setup installs it)"
  fi
done
if [ "$engine" = webkit ] && [ ! -x "$minibrowser" ]; then
  skip "web_webkit: $minibrowser is missing (libwebkit2gtk-4.1-0; scripts/setup installs it)"
fi
if [ ! -f "$here/node_modules/$package/package.json" ]; then
  echo "web_$engine: $package is missing in $here/node_modules (scripts/setup runs npm ci there)" >&2
  exit 1
fi
if ! log=$(JOBS=${JOBS:-2} bash "$src/scripts/build-web" "$src/build-web" 2>&1); then
  echo "$log" | tail -40
  echo "web_$engine: the page does not build" >&2
  exit 1
fi
site="$src/build-web/site"
case "$engine" in
  chromium) exec node "$here/web_test.mjs" --site "$site" ${sim:+--sim "$sim"} ;;
  firefox) exec node "$here/engine_test.mjs" --engine firefox --site "$site" ;;
  # Its own X server, 24-bit so that screenshots keep the felt's colours.
  webkit) exec xvfb-run -a -s "-screen 0 1280x1024x24" \
    node "$here/engine_test.mjs" --engine webkit --browser "$minibrowser" --site "$site" ;;
esac
