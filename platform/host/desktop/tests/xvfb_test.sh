#!/usr/bin/env bash
# The desktop app as a whole, in a virtual X server: it opens its window (with
# the rehearsal guides), a click arms the trick and a tilt and a press force a card, losing focus
# shows the taskbar, and closing the window ends the process with status 0,
# the taskbar shown again; a lost X server ends it with one line.
#
# usage: xvfb_test.sh ZENTRICK SEND_CLOSE
# Skipped (77, or a failure where CI is set) when the X tools are missing; scripts/setup installs them.
# ZT_KEEP_SHOTS=1 keeps the screenshots of a passing run too.
set -uo pipefail

zentrick=$1
send_close=$2
source "$(dirname "$0")/../../../../scripts/skip.sh"

fail() {
  echo "FAIL: $*" >&2
  [ -n "${shots:-}" ] && echo "screenshots kept in $shots" >&2
  exit 1
}

if [ -z "${ZT_IN_XVFB:-}" ]; then
  # Checks that need no display come first.
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$zentrick" 2>&1)
  status=$?
  [ "$status" -eq 1 ] || fail "without a display: exit status $status, wanted 1"
  [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "without a display: wanted one line, got: $out"
  for word in DISPLAY WAYLAND_DISPLAY xvfb-run zentrick-sim; do
    [[ $out == *"$word"* ]] || fail "without a display: '$word' missing from: $out"
  done
  "$zentrick" --scale 0 >/dev/null 2>&1
  status=$?
  [ "$status" -eq 2 ] || fail "a bad --scale: exit status $status, wanted 2"
  "$zentrick" --help | grep -q -- "--accel" || fail "--help does not describe --accel"

  for tool in xvfb-run xdotool import convert xwininfo; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      skip "$tool is not installed (scripts/setup installs xvfb, xdotool and imagemagick)"
    fi
  done
  export ZT_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

shots=$(mktemp -d)
log="$shots/zentrick.log"

# Starts zentrick with the given options and finds its window, which must be
# WIDTH x HEIGHT: sets pid, wid and the window's place wx, wy.
start() {
  local width=$1 height=$2
  shift 2
  "$zentrick" "$@" 2>"$log" &
  pid=$!
  trap 'kill $pid 2>/dev/null' EXIT
  wid=$(timeout 10 xdotool search --sync --onlyvisible --name '^Zentrick$' | head -1)
  [ -n "$wid" ] || fail "$*: no window named Zentrick within 10 s"
  eval "$(xwininfo -id "$wid" | awk '/Absolute upper-left X/ {print "wx=" $4} /Absolute upper-left Y/ {print "wy=" $4}
    /Width:/ {print "ww=" $2} /Height:/ {print "wh=" $2}')"
  [ "$ww" -eq "$width" ] && [ "$wh" -eq "$height" ] || fail "$*: window is ${ww}x${wh}, wanted ${width}x${height}"
}

# Waits up to 5 s for the app to end (else fails, saying after what, with
# the log LOG if given), reaps it and leaves its exit status in $status.
ends_within_5s() {
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "still running 5 s after $1${2:+; log: $(cat "$2")}"
  wait "$pid"
  status=$?
  trap - EXIT
}

start 480 720 --scale 1 --accel keys --rehearse --trace shell

# The colour of the window pixel (x, y), or the mean of a w x h area there,
# as "r g b" (0..255). At --scale 1 window pixels are phone pixels.
shot() { import -window root "$shots/$1.png" || fail "screenshot $1"; }
colour() {
  local name=$1 x=$2 y=$3 w=${4:-1} h=${5:-1}
  convert "$shots/$name.png" -crop "${w}x${h}+$((wx + x))+$((wy + y))" +repage -scale 1x1\! -depth 8 \
    -format '%[fx:int(255*r+.5)] %[fx:int(255*g+.5)] %[fx:int(255*b+.5)]' info:
}
# Fraction (0..1000) of pixels in an area that satisfy an -fx condition.
share() {
  local name=$1 x=$2 y=$3 w=$4 h=$5 condition=$6
  convert "$shots/$name.png" -crop "${w}x${h}+$((wx + x))+$((wy + y))" +repage -fx "$condition ? 1 : 0" \
    -format '%[fx:int(1000*mean+.5)]' info:
}
is_felt() { read -r r g b <<<"$1"; [ "$g" -gt 70 ] && [ "$g" -gt $((r + 30)) ] && [ "$g" -gt $((b + 20)) ]; }
is_white() { read -r r g b <<<"$1"; [ "$r" -gt 235 ] && [ "$g" -gt 235 ] && [ "$b" -gt 235 ]; }
is_dark() { read -r r g b <<<"$1"; [ $((r + g + b)) -lt 200 ]; }

click() { xdotool mousemove $((wx + $1)) $((wy + $2)) click 1; }
# Waits until the mean colour of an area passes a test, up to 5 s.
wait_for() {
  local test=$1 name=$2; shift 2
  for _ in $(seq 50); do
    shot "$name"
    $test "$(colour "$name" "$@")" && return 0
    sleep 0.1
  done
  fail "$name: $test failed at $* (mean $(colour "$name" "$@"))"
}

# Start: felt in the corners, the card back (red, not white) in the middle,
# no taskbar over the top (the app hides it while active).
# The window slides up into place: the top comes last.
wait_for is_felt start 2 700 6 6
wait_for is_felt start 2 2 6 6
is_felt "$(colour start 472 712 6 6)" || fail "start: no felt at the bottom right"
is_white "$(colour start 40 60 60 40)" && fail "start: a card face before any tap"

# --rehearse: faint lines between the regions, here where they cross the
# felt above the card, and the readings on a dark plate at the bottom.
sum() { read -r r g b <<<"$1"; echo $((r + g + b)); }
for x in 160 320; do
  [ $(($(sum "$(colour start $x 1 1 10)") * 100)) -lt $(($(sum "$(colour start $((x - 6)) 1 1 10)") * 85)) ] ||
    fail "rehearse: no line at x $x"
done
[ "$(sum "$(colour start 2 180 8 1)")" -lt "$(sum "$(colour start 2 176 8 1)")" ] || fail "rehearse: no line at y 180"
[ "$(share start 140 683 200 20 'r<0.5 && g<0.5 && b<0.5')" -gt 500 ] || fail "rehearse: no plate for the readings"
[ "$(share start 140 683 200 20 'r>0.9 && g>0.9 && b>0.9')" -gt 30 ] || fail "rehearse: no readings on the plate"

xdotool windowfocus --sync "$wid" || fail "cannot focus the window"

# A tap released on the left while idle: a random card, white face.
click 100 400
wait_for is_white random 40 60 60 40

# Release on the right third: armed, the card back again.
arm() {
  click 400 400
  for _ in $(seq 50); do
    shot "$1"
    is_white "$(colour "$1" 40 60 60 40)" || return 0
    sleep 0.1
  done
  fail "$1: the face is still shown after a tap on the right third"
}
arm armed

# Up arrow held: the top edge raised, spades latched. Top right region, Ace.
xdotool keydown Up
sleep 0.3
click 400 100
xdotool keyup Up
wait_for is_white spade 60 60 40 40
spade_dark=$(share spade 140 200 200 320 'r<0.25 && g<0.25 && b<0.25')
spade_red=$(share spade 140 200 200 320 'r>0.6 && g<0.35 && b<0.35')
[ "$spade_dark" -gt 50 ] || fail "spade: too little black in the middle ($spade_dark/1000)"
[ "$spade_red" -lt 5 ] || fail "spade: red in a black card ($spade_red/1000)"

# Down arrow: hearts. Arm, tilt, press the bottom-left region (8), release.
arm rearmed
xdotool keydown Down
sleep 0.3
click 50 650
xdotool keyup Down
wait_for is_white heart 60 60 40 40
heart_red=$(share heart 140 200 200 320 'r>0.6 && g<0.35 && b<0.35')
[ "$heart_red" -gt 50 ] || fail "heart: too little red in the middle ($heart_red/1000)"

# Focus elsewhere: WM_ACTIVATE 0 shows the taskbar, drawn over the top.
root=$(xwininfo -root | awk '/Window id:/ {print $4}')
xdotool windowfocus "$root"
wait_for is_dark taskbar 100 5 60 20
# Back: hidden again, the face shows through.
xdotool windowfocus --sync "$wid"
wait_for is_white notaskbar 100 30 60 8

# Close as a window manager does; the process ends through its loop.
"$send_close" "$wid" || fail "could not send the close request"
ends_within_5s "the close request"
[ "$status" -eq 0 ] || fail "exit status $status after closing, wanted 0; log: $(cat "$log")"
# The taskbar was hidden first (the app object's construction) and shown
# last (its destruction at exit).
taskbar=$(grep 'ShowWindow([^)]*"CTaskBar"' "$log")
[[ $(head -1 <<<"$taskbar") == *SW_HIDE* ]] || fail "the first taskbar call is not a hide: $taskbar"
[[ $(tail -1 <<<"$taskbar") == *SW_SHOW* ]] || fail "the taskbar is not shown at exit: $taskbar"

# Half size: 240x360, linear scaling; a click at window (50, 200) is phone
# (100, 400), a tap on the left that shows a card. SIGTERM ends it as a
# close does.
start 240 360 --scale 0.5 --accel none
wait_for is_felt half 1 350 4 4
is_white "$(colour half 20 30 30 20)" && fail "half size: a card face before any tap"
click 50 200
wait_for is_white halftap 20 30 30 20
kill -TERM "$pid"
wait "$pid"
status=$?
trap - EXIT
[ "$status" -eq 0 ] || fail "half size: exit status $status after SIGTERM, wanted 0; log: $(cat "$log")"

# Started with its standard streams closed: they are opened on /dev/null
# before anything else, so the X connection never takes one's number (and
# gets the debug lines written into it); SIGTERM still ends it.
"$zentrick" --accel none <&- >&- 2>&- &
pid=$!
trap 'kill -9 $pid 2>/dev/null' EXIT
timeout 10 xdotool search --sync --onlyvisible --name '^Zentrick$' >/dev/null ||
  fail "closed streams: no window within 10 s"
for fd in 0 1 2; do
  [ "$(readlink "/proc/$pid/fd/$fd")" = /dev/null ] ||
    fail "closed streams: descriptor $fd is $(readlink "/proc/$pid/fd/$fd"), wanted /dev/null"
done
sleep 0.5 # debug lines for every tick without an accelerometer
kill -TERM "$pid"
ends_within_5s "SIGTERM with its streams closed"
[ "$status" -eq 0 ] || fail "closed streams: exit status $status after SIGTERM, wanted 0"

# The X server goes away: one line says so and the process ends with status
# 1 (as Xlib's own handler would), without touching the dead connection again.
Xvfb -displayfd 3 -screen 0 800x800x24 3>"$shots/displayfd" 2>/dev/null &
xpid=$!
for _ in $(seq 50); do [ -s "$shots/displayfd" ] && break; sleep 0.1; done
lost=:$(head -1 "$shots/displayfd")
DISPLAY=$lost "$zentrick" --accel none 2>"$shots/lost.log" &
pid=$!
trap 'kill -9 $pid $xpid 2>/dev/null' EXIT
DISPLAY=$lost timeout 10 xdotool search --sync --onlyvisible --name '^Zentrick$' >/dev/null ||
  fail "no window on the second server"
kill "$xpid"
ends_within_5s "its X server went away" "$shots/lost.log"
[ "$status" -eq 1 ] || fail "exit status $status after the X server went away, wanted 1"
[ "$(grep -c "X connection to $lost broken" "$shots/lost.log")" -eq 1 ] ||
  fail "the broken connection is not said exactly once: $(cat "$shots/lost.log")"

if [ -n "${ZT_KEEP_SHOTS:-}" ]; then echo "screenshots in $shots"; else rm -rf "$shots"; fi
echo "desktop app: window, taps, tilt, activation, close and scaling all behave"
