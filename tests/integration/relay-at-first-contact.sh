#!/usr/bin/env bash
# A relay in the middle at first contact, on the private network of with-household.sh: two headless
# instances of the application, devices 1 and 2, are signed in to one account of a development back end
# on this side; a relay on this side takes device 1's dial as device 2 and dials device 2 as device 1,
# with keys of its own. Both users choose "Pair" (a real relay can make the two codes agree); the registry
# check finds two different handshakes, and each device forgets the pairing, hangs up and says so. Paired
# again without the relay, both are verified.
# Usage: with-household.sh relay-at-first-contact.sh <tarnwick-connect> <tarnwick-dev-backend> <RelayInTheMiddle>
set -euo pipefail
app=$(realpath "$1")
devBackend=$(realpath "$2")
relay=$(realpath "$3")
work=$(mktemp -d /tmp/tarnwick-relay.XXXXXX)
pids=()
# cleanup, launch, say, expect, code and sign_in.
. "$(dirname "$0")/instances.sh"
trap cleanup EXIT

# within here|N COMMAND...: runs the command on this side or in device N's network namespace.
within() {
    local where=$1
    shift
    if [ "$where" = here ]; then
        "$@"
    else
        local device="TARNWICK_DEVICE${where}_PID"
        nsenter -t "${!device}" -n -- "$@"
    fi
}

# One back end for the whole household, on this side: device N reaches it at 198.18.N.1.
"$devBackend" --address 0.0.0.0 --port 0 >"$work/backend.log" 2>&1 &
pids+=("$!")
for _ in $(seq 100); do
    grep -q '^listening ' "$work/backend.log" && break
    sleep 0.1
done
backend_port=$(sed -n 's/^listening //p' "$work/backend.log")

# account N COMMAND...: runs the command in device N's namespace with the household's account services.
account() {
    local where=$1
    shift
    within "$where" env TARNWICK_ENV=dev TARNWICK_DEV_BACKEND_URL="http://198.18.$where.1:$backend_port" \
        DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tarnwick-no-bus "$@"
}


launch mac mac "Studio Mac" 1
launch laptop laptop "Laptop" 2
sign_in mac mac 1 ada@example.com
sign_in laptop laptop 2 bob@example.com
mac_id=$(sed -n 's/^registered: //p' "$work/mac.log" | tail -n 1)
laptop_id=$(sed -n 's/^registered: //p' "$work/laptop.log" | tail -n 1)
laptop_port=$(sed -n 's/^advertising Laptop on port \([0-9]*\).*/\1/p' "$work/laptop.log" | tail -n 1)

echo "the relay stands between them; both users choose Pair"
"$relay" 198.18.1.1 198.18.2.2 "$laptop_port" "$mac_id" "Studio Mac" "$laptop_id" "Laptop" >"$work/relay.log" 2>&1 &
pids+=("$!")
expect relay "^listening "
say mac connect "198.18.1.1:$(sed -n 's/^listening //p' "$work/relay.log")"
expect mac "^pair with Laptop? code [0-9]\{6\}"
say mac pair yes
expect laptop "^pair with Studio Mac? code [0-9]\{6\}"
say laptop pair yes
expect relay "^relayed"

echo "the registry finds two handshakes: both forget the pairing and hang up"
expect mac "^connect error: The pairing with Laptop could not be verified and was removed.$" 60
expect laptop "^connect error: The pairing with Studio Mac could not be verified and was removed.$" 60
expect mac "^connected: none"
expect laptop "^connected: none"

echo "without the relay the registry finds one handshake: both mark the pairing verified"
# This side, the household's own namespace, routes between the devices as a home router does.
[ "${TARNWICK_HOUSEHOLD:-}" = inside ] || { echo "run me through with-household.sh" >&2; exit 1; }
echo 1 >/proc/sys/net/ipv4/ip_forward
within 1 ip route add 198.18.2.0/24 via 198.18.1.1
within 2 ip route add 198.18.1.0/24 via 198.18.2.1
say mac connect "198.18.2.2:$laptop_port"
expect mac "^pair with Laptop? code [0-9]\{6\}" 30 2
say mac pair yes
expect laptop "^pair with Studio Mac? code [0-9]\{6\}" 30 2
say laptop pair yes
expect mac "^verified: Laptop$" 60
expect laptop "^verified: Studio Mac$" 60

say mac quit
say laptop quit
wait "$mac_pid" "$laptop_pid"
echo "both devices caught the relay, forgot it, and verified their own pairing"
