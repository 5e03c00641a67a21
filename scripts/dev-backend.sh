#!/usr/bin/env bash
# Builds and starts the local account back end on 127.0.0.1:47800, the address the application's dev
# environment uses. Its data stays in build/dev-backend.sqlite; extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target tarnwick-dev-backend
exec build/default/tools/DevBackend/tarnwick-dev-backend --db build/dev-backend.sqlite "$@"
