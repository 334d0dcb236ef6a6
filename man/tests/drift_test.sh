#!/usr/bin/env bash
# help_test.sh must catch drift both ways: a page that lost an option, a
# script command or an environment variable, and a page that names an option
# the program does not have.
# drift_test.sh SIM SIM-PAGE LISTEN LISTEN-PAGE: the simulator has options and
# script commands, the listener's --help names an environment variable.
set -euo pipefail
program=$1
page=$2
listen=$3
listen_page=$4
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail=0
expect() { # expect NAME PATTERN PAGE [PROGRAM]: help_test.sh fails on PAGE, saying PATTERN
  local out
  if out=$(bash "$here/help_test.sh" "${4:-$program}" "$3" 2>&1); then
    echo "FAIL: $1: help_test.sh passed"
    fail=1
  elif ! grep -q -- "$2" <<<"$out"; then
    echo "FAIL: $1: help_test.sh failed without saying '$2':"
    echo "$out"
    fail=1
  fi
}

bash "$here/help_test.sh" "$program" "$page" >/dev/null || { echo "FAIL: $page does not pass as it is"; exit 1; }
bash "$here/help_test.sh" "$listen" "$listen_page" >/dev/null ||
  { echo "FAIL: $listen_page does not pass as it is"; exit 1; }

sed '/start\\-tick/d' "$page" >"$work/no-option.1"
expect "an option left out" "names --start-tick, the page does not" "$work/no-option.1"

sed '/^\.BI snapshot/d' "$page" >"$work/no-command.1"
expect "a script command left out" "script command 'snapshot'" "$work/no-command.1"

sed '/^\.SH ENVIRONMENT/,/^\.SH /{/ZT_MSGQUEUE_PREFIX/d}' "$listen_page" >"$work/no-variable.1"
expect "an environment variable left out" "ZT_MSGQUEUE_PREFIX" "$work/no-variable.1" "$listen"

sed 's/^\.SH OPTIONS$/.SH OPTIONS\n.TP\n.B \\-\\-frobnicate\nA removed option./' "$page" >"$work/extra-option.1"
expect "an option the program lacks" "names --frobnicate, --help does not" "$work/extra-option.1"

if command -v man >/dev/null; then
  cp "$page" "$work/warning.1"
  printf '.SH EXTRA\n.XYZ unknown macro\n' >>"$work/warning.1"
  expect "a page man warns about" "man warns" "$work/warning.1"
fi

[ "$fail" -eq 0 ] && echo "ok: help_test.sh catches drift"
exit "$fail"
