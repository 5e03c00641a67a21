#!/usr/bin/env bash
# Builds the Debian package build/packages/tarnwick-connect_<version>_amd64.deb from the default build,
# making only the program, its icons and its manual. Install it with: apt-get install ./build/packages/<that file>
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target tarnwick-connect application-icons manual
cpack --config build/default/CPackConfig.cmake -B build/packages
rm -rf build/packages/_CPack_Packages
ls build/packages/*.deb
