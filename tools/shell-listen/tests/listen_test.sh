#!/bin/sh
# Whole-process test of zentrick-shell-listen: records written by another
# program through the shell library arrive intact and are printed one line
# each; signals end the listener cleanly; bad options give usage and exit 2.
#
# usage: listen_test.sh LISTENER WRITER
set -u
listen=$1
writer=$2
work=$(mktemp -d)
export ZT_MSGQUEUE_PREFIX="listen-test-$$-"
cleanup() {
    "$writer" --remove
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Waits up to 10 s for process $1 to end; its exit status in $status.
wait_for() {
    i=0
    while kill -0 "$1" 2>/dev/null; do
        i=$((i + 1))
        if [ $i -gt 100 ]; then
            kill -KILL "$1"
            fail "process $1 did not end"
            break
        fi
        sleep 0.1
    done
    wait "$1"
    status=$?
}

# Waits until the listener says it is listening.
wait_listening() {
    i=0
    until grep -q "listening on" "$1" 2>/dev/null; do
        i=$((i + 1))
        [ $i -gt 100 ] && { fail "listener never started"; return; }
        sleep 0.1
    done
}

# --- records from another process -------------------------------------------
"$listen" --count 10 >"$work/out" 2>"$work/err.count" &
listener=$!
wait_listening "$work/err.count"
"$writer" >"$work/events" || fail "writer failed"
wait_for $listener
[ "$status" = 0 ] || fail "listener exit $status"
read -r made given <"$work/events"

cat >"$work/expected" <<END
notify kind=1 first=7 second=9
notify kind=2 first=7 second=9
notify kind=1 first=0 second=9
apps command=5 first=0 second=0
apps command=3 first=4 second=0
apps command=12 variant=1 text="ab" first=5 second=6
apps command=12 variant=0 text="héllo \\"q\\"" text2="wörld" block=11121314 21222324 31323334 f1f2f3f4
user kind=1 event=$made payload=05121f2c39465360... fnv1a=0x17beb9d5
user kind=2 event=$given payload=05121f2c39465360... fnv1a=0x17beb9d5
user kind=3 event=$given payload=zero
END
# Each queue keeps its order; lines of different queues may interleave.
for q in notify apps user; do
    grep "^$q " "$work/expected" >"$work/expected.$q"
    grep "^$q " "$work/out" >"$work/out.$q"
    if ! cmp -s "$work/expected.$q" "$work/out.$q"; then
        fail "$q records differ"
        diff "$work/expected.$q" "$work/out.$q"
    fi
done
[ "$(wc -l <"$work/out")" = 10 ] || fail "not 10 lines: $(cat "$work/out")"

# --- one queue only; records written before the listener starts wait for it
"$writer" >/dev/null || fail "writer failed"
"$listen" --queue apps --count 4 >"$work/apps" 2>"$work/err"
[ $? = 0 ] || fail "apps-only listener failed"
cmp -s "$work/apps" "$work/expected.apps" || { fail "apps-only output"; cat "$work/apps"; }
# The other queues were left alone.
"$listen" --queue notify --queue notify --count 3 >"$work/notify" 2>"$work/err"
cmp -s "$work/notify" "$work/expected.notify" || { fail "notify-only output"; cat "$work/notify"; }
"$writer" --remove

# --- signals end it cleanly -------------------------------------------------
for sig in INT TERM; do
    "$listen" >"$work/out" 2>"$work/err.$sig" &
    listener=$!
    wait_listening "$work/err.$sig"
    kill -$sig $listener
    wait_for $listener
    [ "$status" = 0 ] || fail "SIG$sig: exit $status"
done

# --- standard streams closed: opened on /dev/null, never a queue -------------
"$listen" --queue user <&- >&- 2>&- &
listener=$!
i=0
until ls -l "/proc/$listener/fd" 2>/dev/null | grep -q "listen-test-$$-"; do
    i=$((i + 1))
    [ $i -gt 100 ] && { fail "closed streams: the queue never opened"; break; }
    sleep 0.1
done
for fd in 0 1 2; do
    target=$(readlink "/proc/$listener/fd/$fd")
    [ "$target" = /dev/null ] || fail "closed streams: descriptor $fd is '$target', not /dev/null"
done
kill -TERM $listener
wait_for $listener

# --- a queue removed and made again is followed ------------------------------
"$listen" --queue notify --count 3 >"$work/out" 2>"$work/err.follow" &
listener=$!
wait_listening "$work/err.follow"
"$writer" --remove
"$writer" >/dev/null || fail "writer failed after the queues were removed"
wait_for $listener
[ "$status" = 0 ] || fail "following a new queue: exit $status"
cmp -s "$work/out" "$work/expected.notify" || { fail "following a new queue: output"; cat "$work/out"; }
grep -q "the notify queue was removed; reading the one of that name now" "$work/err.follow" ||
    fail "following a new queue: not said: $(cat "$work/err.follow")"
"$writer" --remove

# --- each user has queues of their own ---------------------------------------
other=65534
run_as_other() { setpriv --reuid=$other --regid=$other --clear-groups "$@"; }
if [ "$(id -u)" != 0 ]; then
    echo "SKIP: queues of two users: acting as a second user needs root (setpriv --reuid)"
elif ! command -v setpriv >/dev/null 2>&1; then
    echo "SKIP: queues of two users: setpriv is missing (util-linux)"
elif ! run_as_other test -x "$listen" -a -x "$writer"; then
    echo "SKIP: queues of two users: user $other cannot run the programs under $(dirname "$listen")"
else
    # After this user has used the queues, another user's listener and
    # writer work on queues of their own.
    "$writer" >/dev/null || fail "writer failed"
    run_as_other sh -c '"$1" --count 10 2>/dev/null & "$2" >/dev/null; wait $!' sh "$listen" "$writer" \
        >"$work/other.out" 2>"$work/other.err"
    [ "$(wc -l <"$work/other.out")" = 10 ] ||
        fail "another user's listener: $(cat "$work/other.out" "$work/other.err")"
    run_as_other "$writer" --remove
    "$writer" --remove
    # Queues another user made first, under this user's names and open to
    # all, are refused with the reason, and left unread.
    run_as_other "$writer" --plant "$(id -u)" || fail "planting the queues failed"
    "$listen" --count 1 >"$work/out" 2>"$work/err.planted"
    status=$?
    [ "$status" = 1 ] || fail "planted queues: listener exit $status"
    grep -q "belongs to another user" "$work/err.planted" ||
        fail "planted queues: no reason given: $(cat "$work/err.planted")"
    "$writer" >/dev/null 2>"$work/err.writer" && fail "planted queues: the writer wrote into them"
    "$writer" --remove
fi

# --- usage ------------------------------------------------------------------
for bad in "--bogus" "--queue" "--queue mail" "--count" "--count 0" "--count -3" "--count 5x" "stray"; do
    # shellcheck disable=SC2086
    "$listen" $bad >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" = 2 ] || fail "'$bad': exit $status"
    grep -q "^usage: zentrick-shell-listen" "$work/err" || fail "'$bad': no usage on stderr"
    # The first line names the argument that was wrong.
    last=${bad##* }
    first=$(head -n 1 "$work/err")
    case "$first" in
    "zentrick-shell-listen: "*"$last"*) ;;
    *) fail "'$bad': the first line does not name '$last': $first" ;;
    esac
    [ -s "$work/out" ] && fail "'$bad': wrote to stdout"
done
"$listen" --help >"$work/out" 2>"$work/err"
[ $? = 0 ] || fail "--help exit"
grep -q "^usage: zentrick-shell-listen" "$work/out" || fail "--help: no usage on stdout"

[ $failures = 0 ] && echo "all passed"
[ $failures = 0 ]
