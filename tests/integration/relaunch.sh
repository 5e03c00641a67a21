#!/bin/sh
# The program launched again with the profile of a running instance hands over to it and exits 0, and the
# running instance brings its window forward; a file that is not there is refused before anything starts.
# Runs under an X server, in a network namespace of its own (see tests/CMakeLists.txt).
set -eu
program=$1
work=$(mktemp -d)
first=
cleanup() {
    [ -z "$first" ] || kill "$first" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "relaunch: $*" >&2
    cat "$work/first.log" >&2
    exit 1
}
# No keyring and no notification server: the profile's files are all there is.
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tarnwick-no-bus

"$program" --profile "$work/profile" >"$work/first.log" 2>&1 &
first=$!
for _ in $(seq 300); do
    grep -q "first frame" "$work/first.log" && break
    sleep 0.1
done
grep -q "first frame" "$work/first.log" || fail "the first instance did not show its window"

echo "opened with the launcher" >"$work/notes.txt"
status=0
(cd "$work" && timeout 20 "$program" --profile "$work/profile" notes.txt file://"$work/notes.txt") || status=$?
[ "$status" = 0 ] || fail "the second launch exited with $status"
for _ in $(seq 50); do
    grep -q "another launch: the window is brought forward" "$work/first.log" && break
    sleep 0.1
done
grep -q "another launch: the window is brought forward" "$work/first.log" || fail "the window was not brought forward"
kill -0 "$first" || fail "the first instance ended"

status=0
"$program" --profile "$work/profile" "$work/missing.txt" 2>"$work/refused.txt" || status=$?
[ "$status" = 2 ] || fail "a missing file gave status $status"
grep -q "not a file to send" "$work/refused.txt" || fail "a missing file was not named"
echo "relaunch: handed over and brought the window forward"
