#!/usr/bin/env bash
# The headless receiver the systemd user unit runs: it keeps running when standard input ends, and a
# SIGTERM ends it through its normal returns (exit 0, every connection closed, and under
# AddressSanitizer no leak reported). Runs in a network namespace of its own (loopback only).
#   receive-until-stopped.sh <tarnwick-connect>
set -euo pipefail
program=$1
profile=$(mktemp -d)
log="$profile/receiver.log"
trap 'rm -rf "$profile"' EXIT

# No keyring and no registry: the account is not needed to listen.
DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus "$program" receive --profile "$profile" \
    </dev/null >"$log" 2>&1 &
receiver=$!
for _ in $(seq 100); do
    grep -q '^advertising ' "$log" && break
    sleep 0.1
done
grep -q '^advertising .* on port 47810' "$log" || { cat "$log"; echo "FAIL: not listening on 47810" >&2; exit 1; }
sleep 1
kill -0 "$receiver" || { cat "$log"; echo "FAIL: the end of standard input ended the receiver" >&2; exit 1; }
started=$(date +%s%N)
kill -TERM "$receiver"
status=0
wait "$receiver" || status=$?
took=$((($(date +%s%N) - started) / 1000000))
if [ "$status" != 0 ] || ! grep -q '^bye$' "$log" || grep -q 'LeakSanitizer' "$log"; then
    cat "$log"
    echo "FAIL: SIGTERM gave exit status $status" >&2
    exit 1
fi
echo "the receiver stopped in $took ms"
