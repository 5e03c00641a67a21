#!/usr/bin/env bash
# Sets up the machine and runs every test: the g++ build, then the clang build under
# AddressSanitizer and UndefinedBehaviorSanitizer, which also runs each fuzz target briefly, then the
# engine's concurrent suites (channels, sessions, transfers, the device) under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
for preset in default sanitize; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

cmake --preset tsan >/dev/null
cmake --build --preset tsan --target CoreTests
ctest --preset tsan -R '^(NetworkChannelTest|InMemoryChannelTest|ServiceAdvertiserTest|ConnectDeviceTest|DevicePairingTest|Threads/(Session|Coordinator|EndToEnd|Receiver|Sender|RawPeer|Async))'
