#!/usr/bin/env bash
# Runs a command on a private network of a household: this side (the command's namespace) and three
# devices, each in a namespace of its own behind a veth pair:
#   device N: dN at 198.18.N.2, reached from this side's hN at 198.18.N.1.
# Devices dial this side by address; nothing multicasts. Commands reach device N with
#   nsenter -t "$TARNWICK_DEVICE<N>_PID" -n -- <command>
# and its link can be taken down there with `ip link set dN down`, as when a phone walks away.
# Everything started is stopped when the command ends. Needs root (unshare, ip).
# Usage: with-household.sh <command> [arguments...]
set -euo pipefail

if [ "${TARNWICK_HOUSEHOLD:-}" != "inside" ]; then
    export TARNWICK_HOUSEHOLD=inside
    exec unshare --net --fork -- "$0" "$@"
fi

work=$(mktemp -d /tmp/tarnwick-household.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

ip link set lo up
for n in 1 2 3; do
    unshare --net -- bash -c '
        set -euo pipefail
        touch "$0/device$1"
        for _ in $(seq 100); do ip link show "d$1" >/dev/null 2>&1 && break; sleep 0.05; done
        ip link set lo up
        ip link set "d$1" up
        ip addr add "198.18.$1.2/24" dev "d$1"
        touch "$0/ready$1"
        exec sleep infinity
    ' "$work" "$n" &
    pids+=("$!")
    for _ in $(seq 100); do
        [ -e "$work/device$n" ] && break
        sleep 0.05
    done
    ip link add "h$n" type veth peer name "d$n"
    ip link set "d$n" netns "$!"
    ip link set "h$n" up
    ip addr add "198.18.$n.1/24" dev "h$n"
    export "TARNWICK_DEVICE${n}_PID=$!"
done
for n in 1 2 3; do
    for _ in $(seq 100); do
        [ -e "$work/ready$n" ] && break
        sleep 0.05
    done
    [ -e "$work/ready$n" ] || { echo "device $n did not come up" >&2; exit 1; }
done
"$@"
