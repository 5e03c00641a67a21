#!/usr/bin/env bash
# Sets up the machine, builds everything and shows what there is to run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
echo
echo "Built in build/default. The desktop application is not part of this build yet;"
echo "the engine's test suites can be run with: ctest --preset default"
