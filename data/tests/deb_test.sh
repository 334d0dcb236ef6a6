#!/usr/bin/env bash
# The Debian package, as a user gets it: built with Debian's tools, clean for
# lintian, installed on this machine, its programs and manual pages working
# from there, and purged again without a trace.
# Needs root and Debian's packaging tools (scripts/setup); skips without them.
# deb_test.sh SOURCE WORKDIR
# ZT_DEB=FILE tests that package instead of building one (quicker while
# working on the test itself).
set -euo pipefail
source=$1
work=$2
id=org.zentrick.Zentrick
source "$source/scripts/skip.sh"

if [ "$(id -u)" -ne 0 ]; then
  skip "installing a package needs root"
fi
for tool in dpkg-buildpackage dh apt-get lintian; do
  if ! command -v "$tool" >/dev/null; then
    skip "$tool is missing (scripts/setup installs it)"
  fi
done
if dpkg-query -W -f='${Status}' zentrick 2>/dev/null | grep -q "install ok installed"; then
  skip "a zentrick package is installed already; this test would remove it"
fi

fail=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL: $what"
    fail=1
  fi
}
# shellcheck source=/dev/null
. "$source/data/tests/checks.sh"

rm -rf "$work"
mkdir -p "$work/run"
if [ -n "${ZT_DEB:-}" ]; then
  deb=$(realpath "$ZT_DEB")
else
  # The test runs alone (RUN_SERIAL), so the build may take every core.
  JOBS=${JOBS:-$(nproc)} bash "$source/scripts/build-deb" "$work" >"$work/build.log" 2>&1 || {
    tail -n 60 "$work/build.log"
    echo "FAIL: the package does not build (log: $work/build.log)"
    exit 1
  }
  deb=$(ls "$work"/zentrick_*.deb)
fi
echo "testing $deb"

dpkg-deb -x "$deb" "$work/unpacked"
check_tree "$work/unpacked/usr"
check "every file of the package is covered by a notice (data/shipped-files.list)" \
  python3 "$source/data/tests/notices.py" "$source/data/shipped-files.list" --deb "$work/unpacked"

lintian_status=0
lintian_out=$(lintian --fail-on error "$deb" 2>&1) || lintian_status=$?
# (lintian's own remark on running as root is no finding.)
lintian_out=$(grep -v '^running with root privileges' <<<"$lintian_out" || true)
[ -z "$lintian_out" ] || echo "$lintian_out"
check "lintian finds no errors in the package" test "$lintian_status" -eq 0

purge() {
  apt-get purge -y -qq -o DPkg::Lock::Timeout=600 zentrick >/dev/null 2>&1 || true
}
# Whatever happens from here on, the machine is left without the package.
trap purge EXIT
trap 'exit 1' INT TERM
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 "$deb" >"$work/apt.log" 2>&1 || {
  cat "$work/apt.log"
  echo "FAIL: apt-get cannot install $deb"
  exit 1
}
dpkg -L zentrick >"$work/files"

for program in zentrick zentrick-sim zentrick-shell-listen zentrick-phone; do
  check "/usr/bin/$program installed" test -x "/usr/bin/$program"
  check "$program --help" sh -c '"$1" --help >/dev/null' - "/usr/bin/$program"
  check "man -w $program" test "$(man -w "$program" 2>/dev/null)" = "/usr/share/man/man1/$program.1.gz"
  check "man $program formats" sh -c 'MANWIDTH=80 man "$1" 2>/dev/null | grep -q "^NAME"' - "$program"
  check_no_tree_paths "/usr/bin/$program" "$source" "$work"
done
check_data_files /usr

# The installed simulator plays a script and writes its snapshot, run from
# elsewhere with a bare environment.
(cd "$work/run" && env -i PATH=/usr/bin:/bin HOME="$work/run" zentrick-sim --start-tick 1000 - >/dev/null <<'SCRIPT'
tap 400 300
tilt 0 -40 50
wait 30
press 400 200
release 400 200
snapshot two-of-hearts.png
SCRIPT
) || check "the installed zentrick-sim plays a script" false
check_png "$work/run/two-of-hearts.png" 480 720

# The installed zentrick-phone serves the installed page over https, on
# loopback only, with a data folder of the test's own.
check "the installed page is complete" test -s /usr/share/zentrick/site/zentrick.wasm
(cd "$work/run" && env -i PATH=/usr/bin:/bin HOME="$work/run" ZT_PHONE=/usr/bin/zentrick-phone \
  ZT_PHONE_INSTALLED_SITE=/usr/share/zentrick/site \
  python3 "$source/platform/host/web/tests/phone/phone_test.py" InstalledPage) ||
  check "the installed zentrick-phone serves the installed page" false

apt-get purge -y -qq -o DPkg::Lock::Timeout=600 zentrick >"$work/purge.log" 2>&1 ||
  check "apt-get purges zentrick" false
trap - EXIT
check "dpkg knows no zentrick after the purge" \
  sh -c '! dpkg-query -W -f="\${Status}" zentrick 2>/dev/null | grep -q installed'
# Every file the package had is gone, and every directory that was its own.
while IFS= read -r path; do
  if [ -d "$path" ]; then
    case "$path" in
    *zentrick* | *"$id"*) check "directory $path removed" test ! -e "$path" ;;
    esac
  else
    [ "$path" = /. ] || check "$path removed" test ! -e "$path" -a ! -L "$path"
  fi
done <"$work/files"
check "dpkg -L listed the programs" grep -qx /usr/bin/zentrick-sim "$work/files"

[ "$fail" -eq 0 ] && echo "ok: $deb builds, installs, works and purges"
exit "$fail"
