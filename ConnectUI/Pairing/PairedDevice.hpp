#pragma once

#include <chrono>
#include <string>

namespace tarnwick {

/// One trusted peer, known by its key.
struct PairedDevice {
    std::string fingerprint;
    /// The peer's name at the last confirmation.
    std::string name;
    /// When the pairing was last confirmed.
    std::chrono::system_clock::time_point lastSeen;

    bool operator==(const PairedDevice&) const = default;
};

} // namespace tarnwick
