#!/usr/bin/env bash
# The installed tree, as `cmake --install` lays it out: every file in its
# place, valid for the desktop's and the software centres' tools, and the
# programs running from there alone, as they do from the build.
# install_test.sh BUILD SOURCE WORKDIR VERSION PROGRAMS BUILT-SIM
# PROGRAMS: the programs this build makes, comma-separated; BUILT-SIM: the
# simulator in the build tree, or - when there is none.
set -euo pipefail
build=$1
source=$2
work=$3
version=$4
IFS=, read -r -a programs <<<"$5"
built_sim=$6
id=org.zentrick.Zentrick

fail=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL: $what"
    fail=1
  fi
}

rm -rf "$work"
mkdir -p "$work/run"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

# shellcheck source=/dev/null
. "$source/data/tests/checks.sh"

for program in "${programs[@]}"; do
  check "$program in bin" test -x "$prefix/bin/$program"
  check "$program's manual page" test -s "$prefix/share/man/man1/$program.1"
  if command -v man >/dev/null; then
    check "man -w finds $program" test "$(man -M "$prefix/share/man" -w "$program" 2>/dev/null)" = \
      "$prefix/share/man/man1/$program.1"
  fi
  check "$program --help from the installed tree" sh -c '"$1" --help >/dev/null' - "$prefix/bin/$program"
  check_no_tree_paths "$prefix/bin/$program" "$source" "$build"
done
# The desktop entry, metainfo and icons come with the desktop app.
if [[ " ${programs[*]} " == *" zentrick "* ]]; then
  check_data_files "$prefix"
  check_tree "$prefix"
else
  check "no desktop entry without zentrick" test ! -e "$prefix/share/applications/$id.desktop"
fi

if [ "$built_sim" != - ]; then
  # The same script and start tick give the same picture from the build and
  # from the installed program, run elsewhere.
  script='tap 400 300
tilt 0 40 50
wait 30
press 200 100
release 100 100
snapshot nine.png'
  mkdir -p "$work/run/build" "$work/run/installed"
  (cd "$work/run/build" && "$built_sim" --start-tick 1000 - <<<"$script" >/dev/null)
  (cd "$work/run/installed" && env -i PATH=/usr/bin:/bin HOME="$work/run" \
    "$prefix/bin/zentrick-sim" --start-tick 1000 - <<<"$script" >/dev/null) ||
    check "the installed zentrick-sim plays a script" false
  check_png "$work/run/installed/nine.png" 480 720
  check "the installed snapshot equals the build's" cmp -s "$work/run/build/nine.png" "$work/run/installed/nine.png"
fi

# One version everywhere.
check "the metainfo's release is $version" grep -q "<release version=\"$version\"" \
  "$prefix/share/metainfo/$id.metainfo.xml"
if command -v dpkg-parsechangelog >/dev/null; then
  changelog=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)
  check "debian/changelog's version $changelog is $version" test "${changelog%%-*}" = "$version"
fi
check "the manual pages carry version $version" grep -q "\"zentrick $version\"" "$prefix/share/man/man1/zentrick-sim.1"

[ "$fail" -eq 0 ] && echo "ok: installed tree in $prefix"
exit "$fail"
