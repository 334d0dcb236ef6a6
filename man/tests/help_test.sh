#!/usr/bin/env bash
# Keeps a manual page in step with its program's --help: every option, every
# environment variable and (for the simulator) every script command that
# --help names must be in the page, every option the page names must be one
# --help knows, and man must format the page without a warning.
# help_test.sh PROGRAM PAGE
set -euo pipefail
program=$1
page=$2

help=$("$program" --help)
[ -n "$help" ] || { echo "FAIL: $program --help printed nothing"; exit 1; }

# The page's words as a reader sees them: troff's escapes for the minus sign,
# fonts and spacing taken out.
text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\[|&]//g' -e '/^\.\\"/d' "$page")

fail=0
missing() {
  echo "FAIL: $1"
  fail=1
}

options() { grep -oE -- '(^|[^A-Za-z0-9-])--?[a-z][a-z-]*' | grep -oE -- '--?[a-z][a-z-]*$' | sort -u; }

help_options=$(options <<<"$help" | grep -- '^--' || true)
[ -n "$help_options" ] || missing "no options found in $program --help"
for opt in $help_options; do
  grep -qE -- "(^|[^a-z-])$opt([^a-z-]|$)" <<<"$text" || missing "--help names $opt, the page does not"
done
# Every option the page shows must still exist: a removed option must not
# linger in the manual. --help itself is the one every program takes without
# always listing it.
for opt in $(options <<<"$text" | grep -- '^--' | grep -vx -- --help || true); do
  grep -qE -- "(^|[^a-z-])$opt([^a-z-]|$)" <<<"$help" || missing "the page names $opt, --help does not"
done

# Environment variables, in the page's ENVIRONMENT section.
environment=$(sed -n '/^\.SH ENVIRONMENT/,/^\.SH /p' <<<"$text")
for var in $(grep -oE 'ZT_[A-Z_]+' <<<"$help" | sort -u); do
  grep -q "$var" <<<"$environment" || missing "--help names $var, the page's ENVIRONMENT does not"
done

# The simulator's script language: the first word of each command line under
# "Script commands", and the alternatives after '|'.
if grep -q '^Script commands' <<<"$help"; then
  commands=$(sed -n '/^Script commands/,$p' <<<"$help" | sed 1d |
    grep -oE '(^  |\| )[a-z]+' | grep -oE '[a-z]+' | sort -u)
  [ -n "$commands" ] || missing "no script commands found in $program --help"
  # Only the lines that set a command in bold count: prose that mentions a
  # command in passing ("a snapshot's file name") documents nothing.
  script=$(sed -n '/^\.SH SCRIPT/,/^\.SH /p' <<<"$text" | grep -E '^\.B[IR]? ' || true)
  for cmd in $commands; do
    grep -qw -- "$cmd" <<<"$script" || missing "--help names the script command '$cmd', the page's SCRIPT does not"
  done
fi

if command -v man >/dev/null; then
  # What lintian runs: any warning from the formatter is a fault in the page.
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || missing "man warns about $page: $warnings"
  name=$(basename "$program")
  shown=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | sed "s/.\x08//g")
  grep -q "^NAME" <<<"$shown" || missing "man -l $page shows no NAME section"
  [ "$(sed -n 's/^\.TH \([^ ]*\) .*/\1/p' "$page" | sed 's/\\-/-/g')" = "${name^^}" ] ||
    missing "the page's title is not ${name^^}"
fi

[ "$fail" -eq 0 ] && echo "ok: $(wc -w <<<"$help_options") options in $page"
exit "$fail"
