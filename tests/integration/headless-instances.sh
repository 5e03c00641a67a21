#!/usr/bin/env bash
# Two headless instances of the application on the private network of with-avahi-namespace.sh, each
# with a profile of its own, driven through their standard input the way a person would use them:
# they sign in through a development back end's login page (this script plays the browser, and hands the
# return address over by launching the application with it), see each other, pair with the same code on
# both sides, move a file, reconnect without a code, send a file that settles in a watched folder, and do
# not send back what arrives in a watched downloads folder.
# Usage: with-avahi-namespace.sh headless-instances.sh <tarnwick-connect> <tarnwick-dev-backend>
set -euo pipefail
app=$(realpath "$1")
devBackend=$(realpath "$2")
work=$(mktemp -d /tmp/tarnwick-headless.XXXXXX)
pids=()
# cleanup, launch, say, expect, code and sign_in.
. "$(dirname "$0")/instances.sh"
trap cleanup EXIT

# within here|peer COMMAND...: runs the command in this side's namespaces or the peer's.
within() {
    local where=$1
    shift
    if [ "$where" = peer ]; then
        nsenter -t "$TARNWICK_PEER_PID" -n -m -- "$@"
    else
        "$@"
    fi
}

# backend here|peer: a development back end on that side's loopback; its address goes to ${where}_backend.
# The account lives in the profile's own key-store file, not in a keyring.
backend() {
    local where=$1
    within "$where" "$devBackend" --port 0 >"$work/$where.backend.log" 2>&1 &
    pids+=("$!")
    for _ in $(seq 100); do
        grep -q '^listening ' "$work/$where.backend.log" && break
        sleep 0.1
    done
    eval "${where}_backend=http://127.0.0.1:$(sed -n 's/^listening //p' "$work/$where.backend.log")"
}

# account here|peer COMMAND...: runs the command with that side's account services.
account() {
    local where=$1 url="${1}_backend"
    shift
    within "$where" env TARNWICK_ENV=dev TARNWICK_DEV_BACKEND_URL="${!url}" \
        DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tarnwick-no-bus "$@"
}

inbox="$work/laptop/Downloads/Tarnwick Connect"

backend here
backend peer
launch mac mac "Studio Mac" here
launch laptop laptop "Laptop" peer
expect mac "^peers: .*Laptop"
expect laptop "^peers: .*Studio Mac"

echo "signed out, nothing connects; both sign in through the browser and register"
say mac connect Laptop
sleep 1
if grep -q -e '^pair with' -e '^connected: Laptop' "$work/mac.log"; then
    echo "a signed-out instance dialled" >&2
    exit 1
fi
sign_in mac mac here ada@example.com
sign_in laptop laptop peer ada@example.com

echo "first connection: both sides show the same code"
say mac connect Laptop
expect mac "^pair with Laptop? code [0-9]\{6\}"
say mac pair yes
expect laptop "^pair with Studio Mac? code [0-9]\{6\}"
[ "$(code mac)" = "$(code laptop)" ] || { echo "the codes differ: $(code mac) / $(code laptop)" >&2; exit 1; }
say laptop pair yes
expect mac "^connected: Laptop"
expect laptop "^connected: Studio Mac"

echo "a dropped file arrives whole"
head -c 8M /dev/urandom >"$work/photo.bin"
say mac send "$work/photo.bin"
expect mac "^transfer photo.bin to Laptop finished"
expect laptop "^received photo.bin 8388608 bytes"
cmp "$work/photo.bin" "$inbox/photo.bin"

echo "a second connection skips the code"
say laptop quit
wait "$laptop_pid"
expect laptop "^bye"
expect mac "^connected: none"
expect mac "^peers: none$"
launch laptop2 laptop "Laptop" peer
expect laptop2 "^account: ada@example.com in "
expect mac "^peers: .*Laptop" 30 2
say mac connect Laptop
expect laptop2 "^connected: Studio Mac"
expect mac "^connected: Laptop" 30 2
[ "$(grep -c '^pair with' "$work/mac.log")" = 1 ] && ! grep -q '^pair with' "$work/laptop2.log"

echo "a file that settles in a watched folder is sent by itself"
mkdir "$work/outbox"
say mac watch add "$work/outbox"
expect mac "^watching: $work/outbox"
printf 'minutes of the meeting\n' >"$work/outbox/notes.txt"
expect laptop2 "^received notes.txt 23 bytes" 30
cmp "$work/outbox/notes.txt" "$inbox/notes.txt"

echo "a file received into a watched downloads folder is not sent back"
say laptop2 watch add "\"$inbox\""
expect laptop2 "^watching: $inbox"
printf 'quarterly report\n' >"$work/report.txt"
say mac send "$work/report.txt"
expect laptop2 "^received report.txt"
expect laptop2 "^skipping report.txt: it arrived in a watched folder" 30
! grep -q "^received report.txt" "$work/mac.log"

say mac quit
say laptop2 quit
wait "$mac_pid" "$laptop2_pid"
echo "two instances paired, moved dropped and watched files, and left cleanly"
