#!/usr/bin/env bash
# zentrick-phone's tests. `unit`: what it refuses and serves, on loopback
# (phone_test.py). `browser`: the page it serves in headless Chromium that
# trusts only its authority, which needs the built page: scripts/build-web
# builds it into SOURCE/build-web, as for the other browser tests, unless
# ZT_WEB_SITE names a built one. Skipped (77) only when a tool is missing,
# and a failure then where CI is set.
#
#   run.sh unit|browser SOURCE-DIR
set -euo pipefail
kind=$1
src=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$src/scripts/skip.sh"

python3 -c 'import cryptography' 2>/dev/null || skip "phone: python3-cryptography is missing (scripts/setup installs it)"
command -v openssl >/dev/null || skip "phone: openssl is missing (scripts/setup installs it)"
command -v qrencode >/dev/null || skip "phone: qrencode is missing (scripts/setup installs it)"
case "$kind" in
  unit)
    command -v strace >/dev/null || skip "phone: strace is missing (scripts/setup installs it)"
    compgen -G "/usr/lib/*/faketime/libfaketime.so.1" >/dev/null ||
      skip "phone: faketime is missing (scripts/setup installs it)" ;;
esac
case "$kind" in
  unit) exec python3 "$here/phone_test.py" ;;
  browser) ;;
  *) echo "run.sh: unknown kind \"$kind\" (unit or browser)" >&2; exit 2 ;;
esac

for tool in node chromium certutil; do
  command -v "$tool" >/dev/null || skip "web_phone: $tool is not installed (scripts/setup installs it)"
done
browser_tests="$here/../browser"
if [ ! -f "$browser_tests/node_modules/playwright-core/package.json" ]; then
  echo "web_phone: playwright-core is missing in $browser_tests/node_modules (scripts/setup runs npm ci there)" >&2
  exit 1
fi
site=${ZT_WEB_SITE:-}
if [ -z "$site" ]; then
  command -v emcmake >/dev/null || skip "web_phone: emscripten is not installed (scripts/setup installs it)"
  if ! log=$(JOBS=${JOBS:-2} bash "$src/scripts/build-web" "$src/build-web" 2>&1); then
    echo "$log" | tail -40
    echo "web_phone: the page does not build" >&2
    exit 1
  fi
  site="$src/build-web/site"
fi
exec node "$here/browser_test.mjs" --site "$site" --phone "$src/platform/host/web/phone.py"
