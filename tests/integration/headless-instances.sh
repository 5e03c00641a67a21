#!/usr/bin/env bash
# Two headless instances of the application on the private network of with-avahi-namespace.sh, each
# with a profile of its own, driven through their standard input the way a person would use them:
# they see each other, pair with the same code on both sides, move a file, reconnect without a code,
# send a file that settles in a watched folder, and do not send back what arrives in a watched
# downloads folder. Usage: with-avahi-namespace.sh headless-instances.sh <tarnwick-connect>
set -euo pipefail
app=$(realpath "$1")
work=$(mktemp -d /tmp/tarnwick-headless.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# launch RUN PROFILE NAME [here|peer]: starts an instance whose commands come from a FIFO held open here.
launch() {
    local run=$1 profile=$2 name=$3 where=$4
    mkfifo "$work/$run.in"
    if [ "$where" = peer ]; then
        nsenter -t "$TARNWICK_PEER_PID" -n -m -- "$app" --headless --profile "$work/$profile" --name "$name" \
            <"$work/$run.in" >"$work/$run.log" 2>&1 &
    else
        "$app" --headless --profile "$work/$profile" --name "$name" <"$work/$run.in" >"$work/$run.log" 2>&1 &
    fi
    pids+=("$!")
    eval "${run}_pid=$!"
    exec {fd}>"$work/$run.in"
    eval "${run}_in=$fd"
}

# say RUN COMMAND...: one line on the instance's standard input.
say() {
    local input="${1}_in"
    shift
    echo "$*" >&"${!input}"
}

# expect RUN PATTERN [SECONDS] [COUNT]: waits until COUNT (1) lines of the instance's output match.
expect() {
    for _ in $(seq $((${3:-30} * 10))); do
        [ "$(grep -c -- "$2" "$work/$1.log")" -ge "${4:-1}" ] && return 0
        sleep 0.1
    done
    echo "$1 did not print '$2'" >&2
    for log in "$work"/*.log; do
        echo "--- $(basename "$log")" >&2
        cat "$log" >&2
    done
    return 1
}

code() { grep -o 'code [0-9]\{6\}' "$work/$1.log" | tail -n 1; }

inbox="$work/laptop/Downloads/Tarnwick Connect"

launch mac mac "Studio Mac" here
launch laptop laptop "Laptop" peer
expect mac "^peers: .*Laptop"
expect laptop "^peers: .*Studio Mac"

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
launch laptop2 laptop "Laptop" peer
expect mac "^peers: .*Laptop" 30 2
say mac connect Laptop
expect mac "^connected: Laptop" 
expect laptop2 "^connected: Studio Mac"
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
