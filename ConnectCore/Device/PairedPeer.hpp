#pragma once

#include <string>

namespace tarnwick {

/// A device the user paired, as the front end remembers it.
struct PairedPeer {
    std::string fingerprint;
    /// Empty when it was paired before identifiers were kept.
    std::string deviceID;
    std::string name;

    bool operator==(const PairedPeer&) const = default;
};

} // namespace tarnwick
