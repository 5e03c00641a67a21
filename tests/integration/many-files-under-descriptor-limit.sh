#!/usr/bin/env bash
# One offer of many small files between two tarnwick-peer processes over TLS on loopback, each held to a
# desktop session's 1,024 open files: every file arrives whole and no partial file is left behind.
# Usage: many-files-under-descriptor-limit.sh <tarnwick-peer> [file count, default 10000]
set -euo pipefail
peer=$(realpath "$1")
count=${2:-10000}
limit="prlimit --nofile=1024:1024"

work=$(mktemp -d)
receiver=""
cleanup() {
    if [ -n "$receiver" ]; then kill "$receiver" 2>/dev/null || true; wait "$receiver" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/out" "$work/in"
head -c $((count * 4096)) /dev/urandom | split -b 4096 -a 5 -d - "$work/out/file-"

$limit "$peer" receive --home "$work/r" --into "$work/in" --port 0 >"$work/receiver.log" 2>&1 &
receiver=$!
for _ in $(seq 200); do grep -q "^listening" "$work/receiver.log" && break; sleep 0.05; done
port=$(awk '/^listening/ { print $2 }' "$work/receiver.log")

began=$(date +%s.%N)
if ! (cd "$work/out" && $limit "$peer" send --home "$work/s" --address "127.0.0.1:$port" file-*) \
    >"$work/sender.log" 2>&1; then
    echo "the send failed:" >&2
    tail -n 5 "$work/sender.log" "$work/receiver.log" >&2
    exit 1
fi
for _ in $(seq 600); do
    [ "$(grep -c "^received" "$work/receiver.log")" -ge "$count" ] && break
    sleep 0.1
done
ended=$(date +%s.%N)
if ! diff -r "$work/out" "$work/in" >"$work/diff.log"; then
    echo "the files did not arrive whole:" >&2
    head -n 5 "$work/diff.log" >&2
    exit 1
fi
awk -v a="$began" -v b="$ended" -v n="$count" 'BEGIN { printf "%d files of 4 KiB under 1,024 descriptors: %.2f s\n", n, b - a }'
