#pragma once

#include <chrono>
#include <string>

namespace tarnwick {

/// One trusted peer, known by its key.
struct PairedDevice {
    std::string fingerprint;
    /// The identifier the peer announced; empty for pairings stored before identifiers were kept.
    std::string deviceID;
    /// The peer's name at the last confirmation.
    std::string name;
    /// When the pairing was last confirmed.
    std::chrono::system_clock::time_point lastSeen;

    bool operator==(const PairedDevice&) const = default;
};

} // namespace tarnwick
