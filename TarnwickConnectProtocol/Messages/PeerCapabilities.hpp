#pragma once

#include <cstdint>

namespace tarnwick {

/// Option set of features a device offers; on the wire, the raw value as one JSON number.
/// Bits without a name are kept, so a newer peer's features survive a round trip.
struct PeerCapabilities {
    std::uint32_t rawValue = 0;

    static constexpr std::uint32_t livePreview = 1;
    static constexpr std::uint32_t watchFolder = 2;
    static constexpr std::uint32_t transcode = 4;
    static constexpr std::uint32_t resume = 8;
    static constexpr std::uint32_t cloudFallback = 16;

    /// True when every bit of `members` is set.
    bool contains(std::uint32_t members) const { return (rawValue & members) == members; }

    /// The features both sets offer.
    PeerCapabilities intersection(PeerCapabilities other) const { return {rawValue & other.rawValue}; }

    bool operator==(const PeerCapabilities&) const = default;
};

} // namespace tarnwick
