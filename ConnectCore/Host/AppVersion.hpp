#pragma once

namespace tarnwick {

/// This build's version, from project() in the top CMakeLists.txt: what the handshake, the device
/// registry, `--version` and the package announce.
extern const char* const appVersion;

} // namespace tarnwick
