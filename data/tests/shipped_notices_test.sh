#!/usr/bin/env bash
# Every file the Debian package and the web page ship is covered by a notice
# (data/shipped-files.list): the package's files as `cmake --install` and
# debhelper lay them out, and the page as scripts/build-web builds it. The
# package test checks the real .deb the same way.
# shipped_notices_test.sh SOURCE BUILD WORKDIR
set -euo pipefail
source=$1
build=$2
work=$3

rm -rf "$work"
mkdir -p "$work"
root=$work/deb
DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log"
# What debhelper adds beside them: the copyright, the changelog, the docs.
doc=$root/usr/share/doc/zentrick
mkdir -p "$doc"
cp "$source/debian/copyright" "$doc/copyright"
gzip -9n <"$source/debian/changelog" >"$doc/changelog.gz"
while read -r file; do
  if [ -n "$file" ]; then cp "$source/$file" "$doc/"; fi
done <"$source/debian/zentrick.docs"
trees=(--deb "$root")

if command -v emcmake >/dev/null; then
  if ! log=$(JOBS=${JOBS:-2} bash "$source/scripts/build-web" "$source/build-web" 2>&1); then
    echo "$log" | tail -40
    echo "FAIL: the web page does not build"
    exit 1
  fi
  site=$source/build-web/site
  trees+=(--site "$site")
  # The notices reach a visitor offline too: the service worker caches every
  # file of the site, licenses.txt among them.
  for file in "$site"/*; do
    name=$(basename "$file")
    if [ "$name" != sw.js ] && ! grep -qF "'./$name'" "$site/sw.js"; then
      echo "FAIL: site: the service worker does not cache $name"
      uncached=1
    fi
  done
else
  echo "note: emscripten is not installed (scripts/setup installs it): the web page is not checked"
fi
python3 "$source/data/tests/notices.py" "$source/data/shipped-files.list" "${trees[@]}"
exit "${uncached:-0}"
