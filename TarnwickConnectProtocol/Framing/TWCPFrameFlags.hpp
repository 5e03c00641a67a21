#pragma once

#include <cstdint>

namespace tarnwick {

/// Option set of a frame's flags. Frames built here carry 0; received flags are kept as they came,
/// bits without a name included, and are not interpreted.
struct TWCPFrameFlags {
    std::uint16_t rawValue = 0;

    static constexpr std::uint16_t endOfMessage = 0x0001;

    /// True when every bit of `members` is set.
    bool contains(std::uint16_t members) const { return (rawValue & members) == members; }

    bool operator==(const TWCPFrameFlags&) const = default;
};

} // namespace tarnwick
