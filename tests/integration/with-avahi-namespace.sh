#!/usr/bin/env bash
# Runs a command on a private network of two "devices", so that DNS-SD is exercised for real while
# nothing multicasts on this machine's own interfaces:
#   this side: a new network and mount namespace with veth d0 (198.18.0.1), its own D-Bus system bus
#              and avahi-daemon; the command runs here.
#   the peer:  a further namespace behind the other end of the pair, d1 (198.18.0.2), with its own bus
#              and daemon. Commands reach it with: nsenter -t "$TARNWICK_PEER_PID" -n -m -- <command>
# This side's daemon may be restarted by the command with its configuration, "$TARNWICK_AVAHI_CONFIG".
# Everything started is stopped by its pid when the command ends. Needs root (unshare, ip, mount).
# Usage: with-avahi-namespace.sh <command> [arguments...]
set -euo pipefail

if [ "${TARNWICK_AVAHI_NAMESPACE:-}" != "inside" ]; then
    export TARNWICK_AVAHI_NAMESPACE=inside
    exec unshare --net --mount --propagation private --fork -- "$0" "$@"
fi

work=$(mktemp -d /tmp/tarnwick-avahi.XXXXXX)
pids=()

cleanup() {
    # This side's daemon is taken from its pid file at the end, as the command may have restarted it.
    [ -e /run/avahi-daemon/pid ] && pids+=("$(cat /run/avahi-daemon/pid)")
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    # The daemons are not our children: wait for each to be gone before the namespace is.
    for pid in "${pids[@]}"; do
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
    done
    rm -rf "$work"
}
trap cleanup EXIT

write_config() { # name interface
    cat >"$work/$1.conf" <<EOF
[server]
host-name=tarnwick-$1
use-ipv4=yes
use-ipv6=yes
allow-interfaces=$2
enable-dbus=yes
ratelimit-interval-usec=1000000
ratelimit-burst=1000
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
[reflector]
enable-reflector=no
EOF
}

# Starts a bus and a daemon in the current namespaces (with /run already private) and records their pids.
start_daemons() { # name
    mkdir -p /run/dbus /run/avahi-daemon
    dbus-daemon --system --fork --print-pid >"$work/$1-dbus.pid"
    avahi-daemon -f "$work/$1.conf" --no-drop-root --no-chroot -D
    for _ in $(seq 100); do
        dbus-send --system --print-reply --dest=org.freedesktop.Avahi / \
            org.freedesktop.Avahi.Server.GetVersionString >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "avahi-daemon ($1) did not answer on D-Bus" >&2
    return 1
}

mount -t tmpfs tmpfs /run
ip link set lo up
ip link add d0 type veth peer name d1
# Link-local IPv6 addresses at once, without duplicate detection, so both families are ready together.
sysctl -qw net.ipv6.conf.d0.accept_dad=0
ip link set d0 multicast on up
ip addr add 198.18.0.1/24 dev d0

write_config main d0
write_config peer d1

# The peer lives in a namespace of its own; once it is there, d1 is moved in, then it starts its daemons.
export -f start_daemons
export work
unshare --net --mount --propagation private -- bash -c '
    set -euo pipefail
    mount -t tmpfs tmpfs /run
    touch "$work/peer-namespace"
    for _ in $(seq 100); do ip link show d1 >/dev/null 2>&1 && break; sleep 0.05; done
    ip link set lo up
    sysctl -qw net.ipv6.conf.d1.accept_dad=0
    ip link set d1 multicast on up
    ip addr add 198.18.0.2/24 dev d1
    start_daemons peer
    cp /run/avahi-daemon/pid "$work/peer-avahi.pid"
    touch "$work/peer-ready"
    exec sleep infinity
' &
peer=$!
pids+=("$peer")
for _ in $(seq 100); do
    [ -e "$work/peer-namespace" ] && break
    sleep 0.05
done
ip link set d1 netns "$peer"

start_daemons main
pids+=("$(cat "$work/main-dbus.pid")")
for _ in $(seq 100); do
    [ -e "$work/peer-ready" ] && break
    kill -0 "$peer" 2>/dev/null || break
    sleep 0.1
done
[ -e "$work/peer-ready" ] || { echo "the peer namespace did not come up" >&2; exit 1; }
pids=("$(cat "$work/peer-avahi.pid")" "$(cat "$work/peer-dbus.pid")" "${pids[@]}")

export TARNWICK_PEER_PID=$peer
export TARNWICK_AVAHI_CONFIG="$work/main.conf"
"$@"
