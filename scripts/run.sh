#!/usr/bin/env bash
# Sets up the machine, builds everything, starts the local account back end (unless one already answers)
# and the application.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default

# The development stand-in for the sign-in page and device registry, where the dev environment looks.
backend=""
if ! curl -fsS -o /dev/null http://127.0.0.1:47800/login 2>/dev/null; then
    build/default/tools/DevBackend/tarnwick-dev-backend --db build/dev-backend.sqlite >build/dev-backend.log 2>&1 &
    backend=$!
    trap 'kill "$backend" 2>/dev/null || true' EXIT
fi

echo
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [[ " $* " != *" --headless "* ]]; then
    echo "Built in build/default. Tarnwick Connect opens its window on the first launch and lives in the"
    echo "tray; the sign-in page runs on this machine at http://127.0.0.1:47800/login."
    build/default/ConnectUI/App/tarnwick-connect "$@"
else
    echo "Built in build/default. No display here, so the application runs headless. Type commands"
    echo "(peers, connect NAME, send PATH..., pair yes|no, signin, signout, watch add PATH, quit);"
    echo "end of input quits. The sign-in page runs on this machine at http://127.0.0.1:47800/login."
    args=("$@")
    [[ " $* " == *" --headless "* ]] || args=(--headless "$@")
    build/default/ConnectUI/App/tarnwick-connect "${args[@]}"
fi
