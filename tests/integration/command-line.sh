#!/usr/bin/env bash
# The commands scripts run, on the private network of with-avahi-namespace.sh: this side runs
# tarnwick-connect with signed-in profiles, the peer namespace (198.18.0.2) runs peer devices.
#   send --address to a device that is not advertised, its first code answered "y" on standard input,
#   and refused (exit 2) without an answer; a paired device takes the next send without a code; send --to
#   a device found by name; exit 3 when the receiver cannot take the file; devices --json lists the
#   advertised device; the --headless prompt dials HOST:PORT and sends --to a named device; a send while
#   an instance runs with the profile is done by that instance; receive without a terminal refuses to
#   pair; receive --json takes a file from a device it paired with on "y" and ends cleanly on SIGTERM
#   after its input ended. --json output is read line by line with jq.
# Usage: with-avahi-namespace.sh command-line.sh <tarnwick-connect> <tarnwick-peer>
set -euo pipefail
app=$(realpath "$1")
peer_tool=$(realpath "$2")
work=$(mktemp -d /tmp/tarnwick-cli.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for log in "$work"/*.log "$work"/*.json; do
        [ -e "$log" ] && { echo "--- $(basename "$log")" >&2; cat "$log" >&2; }
    done
    exit 1
}

# profile NAME: a profile signed in to an account stored in its own key-store file (no keyring here); its
# registration goes to a closed loopback port and fails, which transfers do not need.
profile() {
    local folder="$work/$1/config/Tarnwick"
    mkdir -p "$folder"
    (umask 077 && printf '{"idToken":"id","accessToken":"access","refreshToken":"refresh","expiresAt":2000000000,"tenantSlug":"home","userSub":"ada","email":"ada@example.com"}' \
        >"$folder/io.tarnwick.connect.session")
}

# The program with the test's account services and no session bus; env execs it, so a background run's
# pid is the program's own.
connect=(env TARNWICK_ENV=dev TARNWICK_DEV_BACKEND_URL=http://127.0.0.1:9
    DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tarnwick-no-bus "$app")
# A command the test waits for: one that hangs is stopped, so the failure shows its logs.
once=(timeout --kill-after=5 60 "${connect[@]}")

# peer LOG ARGS...: a receiving peer device in the peer namespace.
peer() {
    local log=$1
    shift
    nsenter -t "$TARNWICK_PEER_PID" -n -m -- "$peer_tool" receive "$@" >"$work/$log.log" 2>&1 &
    pids+=("$!")
    for _ in $(seq 100); do
        grep -q '^listening ' "$work/$log.log" && return 0
        sleep 0.1
    done
    fail "the peer $log did not start"
}

# event FILE CONDITION: some JSON line of FILE meets the jq condition (jq 1.6's -e judges only the last
# line, so the lines are read as one array).
event() {
    jq -e -s "any(.[]; $2)" "$1" >/dev/null
}

# arrived FILE INBOX: FILE is in INBOX whole. The receiver's own outcome is not yet what the sender waits
# for (a later change to transfers makes it so), so its last rename may come a moment after the exit.
arrived() {
    for _ in $(seq 100); do
        [ -e "$2/$(basename "$1")" ] && break
        sleep 0.1
    done
    cmp "$1" "$2/$(basename "$1")" || fail "$(basename "$1") did not arrive whole in $2"
}

# expect LOG PATTERN: waits until a line of the log matches.
expect() {
    for _ in $(seq 150); do
        grep -q -- "$2" "$1" && return 0
        sleep 0.1
    done
    fail "$(basename "$1") did not show '$2'"
}

# ends PID: waits up to 30 s for a background program to end and gives its status; one that hangs is
# killed, so the failure shows its logs instead of holding the test.
ends() {
    for _ in $(seq 300); do
        case "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" in "" | Z) break ;; esac
        sleep 0.1
    done
    case "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" in "" | Z) ;; *) kill -KILL "$1" ;; esac
    local code=0
    wait "$1" || code=$?
    return "$code"
}

# status COMMAND...: runs it without output and prints its exit status.
status() {
    local code=0
    "$@" >/dev/null 2>&1 || code=$?
    echo "$code"
}

head -c 3M /dev/urandom >"$work/photo.bin"
printf 'minutes\n' >"$work/notes.txt"
profile sender
profile stranger

echo "send --address to a device that is not advertised: the code is answered y on standard input"
peer hidden --home "$work/hidden" --into "$work/hidden-inbox" --name "Hidden Phone" --port 47900
code=0
"${once[@]}" send --json --profile "$work/sender" --address 198.18.0.2:47900 "$work/photo.bin" \
    "$work/notes.txt" <<<"y" >"$work/address.json" 2>"$work/address.log" || code=$?
[ "$code" = 0 ] || fail "send --address exited with $code"
arrived "$work/photo.bin" "$work/hidden-inbox"
arrived "$work/notes.txt" "$work/hidden-inbox"
# Every line is one JSON object with its event; only events are on standard output.
jq -e -s 'all(type == "object" and has("event"))' "$work/address.json" >/dev/null ||
    fail "standard output holds more than JSON events"
[ "$(jq -r 'select(.event == "pairing") | .name' "$work/address.json")" = "Hidden Phone" ] ||
    fail "no pairing event"
event "$work/address.json" '.event == "pairing" and (.code | test("^[0-9]{6}$"))' || fail "no code"
grep -q "^Pair with Hidden Phone? Code [0-9]\{3\} [0-9]\{3\} \[y/N\]" "$work/address.log" ||
    fail "the question was not asked"
[ "$(jq -r 'select(.event == "finished") | .file' "$work/address.json" | sort | tr '\n' ' ')" = \
    "notes.txt photo.bin " ] || fail "not every file finished"
event "$work/address.json" '.event == "progress" and .file == "photo.bin" and .total == 3145728' ||
    fail "no progress of photo.bin"

echo "without an answer, a first pairing is refused: exit 2, nothing sent"
code=0
"${once[@]}" send --profile "$work/stranger" --address 198.18.0.2:47900 "$work/notes.txt" \
    </dev/null >"$work/refused.log" 2>&1 || code=$?
[ "$code" = 2 ] || fail "an unanswered pairing exited with $code"
[ "$(ls "$work/hidden-inbox" | wc -l)" = 2 ] || fail "a file arrived without pairing"

echo "the paired device takes the next send without a code"
code=0
"${once[@]}" send --profile "$work/sender" --address 198.18.0.2:47900 "$work/notes.txt" \
    </dev/null >"$work/again.log" 2>&1 || code=$?
[ "$code" = 0 ] || fail "a send to a paired device exited with $code"
grep -q "^sent notes.txt to Hidden Phone" "$work/again.log" || fail "no sent line"
! grep -q "Pair with" "$work/again.log" || fail "a paired device asked for a code"

echo "send --to finds an advertised device by name"
peer laptop --home "$work/laptop" --into "$work/laptop-inbox" --name "Laptop" --port 47901 --advertise
code=0
"${once[@]}" send --profile "$work/sender" --to Laptop "$work/photo.bin" <<<"y" \
    >"$work/to.log" 2>&1 || code=$?
[ "$code" = 0 ] || fail "send --to exited with $code"
arrived "$work/photo.bin" "$work/laptop-inbox"
code=0
"${once[@]}" send --profile "$work/sender" --to Nobody "$work/photo.bin" </dev/null >"$work/nobody.log" 2>&1 || code=$?
[ "$code" = 2 ] || fail "send --to an unknown name exited with $code"

echo "a receiver that cannot take the file: exit 3"
printf 'not a folder\n' >"$work/blocked-inbox"
peer blocked --home "$work/blocked" --into "$work/blocked-inbox" --name "Full Phone" --port 47902
code=0
"${once[@]}" send --json --profile "$work/sender" --address 198.18.0.2:47902 "$work/notes.txt" \
    <<<"y" >"$work/refusing.json" 2>"$work/refusing.log" || code=$?
[ "$code" = 3 ] || fail "a refused file exited with $code"
event "$work/refusing.json" '.event == "failed" and .file == "notes.txt" and (.message | length > 0)' ||
    fail "no failed event for the file"

echo "usage errors exit 1"
[ "$(status "${once[@]}" send --profile "$work/sender" "$work/notes.txt")" = 1 ]
[ "$(status "${once[@]}" send --profile "$work/sender" --address nowhere "$work/notes.txt")" = 1 ]
[ "$(status "${once[@]}" send --profile "$work/sender" --to Laptop "$work/missing.txt")" = 1 ]

echo "devices --json lists the advertised device, paired"
"${once[@]}" devices --json --wait 3 --profile "$work/sender" >"$work/devices.json" 2>"$work/devices.log" ||
    fail "devices failed"
event "$work/devices.json" \
    '.event == "device" and .name == "Laptop" and .paired == true and .address == "198.18.0.2:47901"' ||
    fail "devices did not list Laptop"

echo "the prompt of --headless dials an address and sends to the device it names"
profile desk
printf 'agenda\n' >"$work/agenda.txt"
mkfifo "$work/desk.in"
"${connect[@]}" --headless --profile "$work/desk" --port 47904 <"$work/desk.in" >"$work/desk.log" 2>&1 &
desk=$!
pids+=("$desk")
exec {commands}>"$work/desk.in"
expect "$work/desk.log" "^account: ada@example.com"
echo "connect 198.18.0.2:47900" >&"$commands"
expect "$work/desk.log" "^pair with Hidden Phone? code [0-9]\{6\}"
echo y >&"$commands"
expect "$work/desk.log" "^connected: Hidden Phone"
echo "send --to \"Hidden Phone\" $work/agenda.txt" >&"$commands"
expect "$work/desk.log" "^transfer agenda.txt to Hidden Phone finished"
arrived "$work/agenda.txt" "$work/hidden-inbox"
echo quit >&"$commands"
ends "$desk" || fail "the headless prompt did not quit cleanly"

echo "a send while an instance runs with the profile is handed to it, and its events come back"
printf 'handed over\n' >"$work/handed.txt"
mkfifo "$work/running.in"
"${connect[@]}" receive --profile "$work/sender" --port 47905 <"$work/running.in" >"$work/running.log" 2>&1 &
running=$!
pids+=("$running")
exec {keep}>"$work/running.in"
expect "$work/running.log" "^account: ada@example.com"
code=0
"${once[@]}" send --json --profile "$work/sender" --address 198.18.0.2:47900 "$work/handed.txt" </dev/null \
    >"$work/handed.json" 2>"$work/handed.log" || code=$?
[ "$code" = 0 ] || fail "a handed-over send exited with $code"
event "$work/handed.json" '.event == "finished" and .file == "handed.txt"' || fail "no finished event came back"
expect "$work/running.log" "^transfer handed.txt to Hidden Phone finished"
! grep -q "^advertising" "$work/handed.log" || fail "the command ran an engine of its own on the profile"
arrived "$work/handed.txt" "$work/hidden-inbox"
exec {keep}>&-
kill -TERM "$running"
ends "$running" || fail "the running instance did not end cleanly"

echo "receive without a terminal refuses a device it has not paired with"
profile service
"${connect[@]}" receive --json --profile "$work/service" --port 47906 </dev/null >"$work/service.json" \
    2>"$work/service.log" &
service=$!
pids+=("$service")
expect "$work/service.json" '"event":"ready"'
if nsenter -t "$TARNWICK_PEER_PID" -n -m -- "$peer_tool" send --home "$work/intruder" \
    --address 198.18.0.1:47906 "$work/notes.txt" >"$work/intruder.log" 2>&1; then
    fail "a device paired with a receiver nobody watches"
fi
event "$work/service.json" '.event == "pairing" and .asking == false' || fail "the pairing was not refused"
! event "$work/service.json" '.event == "received"' || fail "a file arrived without pairing"
kill -TERM "$service"
ends "$service" || fail "receive did not end cleanly"

echo "receive --json pairs on y, takes a file, survives the end of its input and stops on SIGTERM"
profile receiver
mkfifo "$work/receive.in"
"${connect[@]}" receive --json --accept-pairing ask --profile "$work/receiver" --name "Studio" --port 47903 \
    <"$work/receive.in" >"$work/receive.json" 2>"$work/receive.log" &
receiver=$!
pids+=("$receiver")
exec {answers}>"$work/receive.in"
for _ in $(seq 100); do
    grep -q '"event":"ready"' "$work/receive.json" && break
    sleep 0.1
done
nsenter -t "$TARNWICK_PEER_PID" -n -m -- "$peer_tool" send --home "$work/phone" --address 198.18.0.1:47903 \
    "$work/photo.bin" >"$work/phone.log" 2>&1 &
phone=$!
pids+=("$phone")
for _ in $(seq 100); do
    grep -q '"event":"pairing"' "$work/receive.json" && break
    sleep 0.1
done
# The answer, then the end of input.
echo y >&"$answers"
exec {answers}>&-
ends "$phone" || fail "the phone could not send to receive"
for _ in $(seq 100); do
    grep -q '"event":"received"' "$work/receive.json" && break
    sleep 0.1
done
event "$work/receive.json" '.event == "receiving" and .name == "photo.bin" and .from == "Tarnwick Peer"' ||
    fail "receive did not announce the incoming transfer"
event "$work/receive.json" '.event == "received" and .file == "photo.bin" and .bytes == 3145728' ||
    fail "receive did not report the file"
arrived "$work/photo.bin" "$work/receiver/Downloads/Tarnwick Connect"
kill -0 "$receiver" || fail "the end of input ended receive"
kill -TERM "$receiver"
code=0
ends "$receiver" || code=$?
[ "$code" = 0 ] || fail "receive ended with $code on SIGTERM"
jq -e -s 'all(type == "object")' "$work/receive.json" >/dev/null || fail "receive printed more than JSON"
echo "the command line sent, refused, failed, listed and received as scripts expect"
