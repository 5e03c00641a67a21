#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

/// Whether this device is listening for others: starting, ready on a port, or blocked with the reason.
struct Availability {
    enum class Case { starting, ready, blocked };
    Case state = Case::starting;
    /// The listener's TCP port when ready.
    std::uint16_t port = 0;
    /// The user-facing reason when blocked.
    std::string message;

    static Availability starting() { return {}; }
    static Availability ready(std::uint16_t port) { return {Case::ready, port, {}}; }
    static Availability blocked(std::string message) { return {Case::blocked, 0, std::move(message)}; }

    bool operator==(const Availability&) const = default;
};

} // namespace tarnwick
