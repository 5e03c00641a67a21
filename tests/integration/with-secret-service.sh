#!/bin/sh
# Runs a command on a private D-Bus session bus whose Secret Service is a gnome-keyring unlocked for
# the run. Its keyring lives in a temporary home removed afterwards, so no real keyring is touched.
# With --locked the keyring is never unlocked: the service is there but refuses to store anything.
set -eu
unlock=--unlock service=gnome-keyring
if [ "${1:-}" = --locked ]; then
  unlock=--start service=locked-gnome-keyring
  shift
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
dbus-run-session -- sh -c '
  printf pw | gnome-keyring-daemon $0 --components=secrets >/dev/null
  TARNWICK_SECRET_SERVICE=$1 && shift
  export TARNWICK_SECRET_SERVICE
  "$@"' "$unlock" "$service" "$@"
