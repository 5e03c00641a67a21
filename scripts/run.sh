#!/usr/bin/env bash
# Sets up the machine, builds everything and shows what there is to run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
echo
echo "Built in build/default. The application has no windows yet: it runs headless. Type commands"
echo "(peers, connect NAME, send PATH..., pair yes|no, watch add PATH, quit); end of input quits."
exec build/default/ConnectUI/App/tarnwick-connect --headless "$@"
