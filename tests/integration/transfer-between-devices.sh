#!/usr/bin/env bash
# Two devices on the private network of with-avahi-namespace.sh: the peer advertises itself and
# receives; this side finds it by name over DNS-SD, dials it, pairs and sends a 64 MiB file, which must
# arrive whole. Usage: with-avahi-namespace.sh transfer-between-devices.sh <tarnwick-peer>
set -euo pipefail
peer_tool=$1
work=$(mktemp -d /tmp/tarnwick-transfer.XXXXXX)
receiver=""
cleanup() {
    [ -n "$receiver" ] && kill "$receiver" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

head -c 64M /dev/urandom >"$work/movie.bin"
nsenter -t "$TARNWICK_PEER_PID" -n -m -- "$peer_tool" receive --home "$work/receiver" --into "$work/inbox" \
    --name "Pocket Phone" --advertise >"$work/receiver.log" 2>&1 &
receiver=$!

timeout 60 "$peer_tool" send --home "$work/sender" --to "Pocket Phone" "$work/movie.bin" | tee "$work/sender.log"
for _ in $(seq 300); do
    grep -q "^received movie.bin 67108864" "$work/receiver.log" && break
    sleep 0.1
done
cat "$work/receiver.log"
cmp "$work/movie.bin" "$work/inbox/movie.bin"
# Both screens showed the same code.
[ "$(grep -o 'code [0-9]*' "$work/sender.log")" = "$(grep -o 'code [0-9]*' "$work/receiver.log")" ]
echo "the file arrived whole"
