#pragma once

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <cstdint>
#include <string>

namespace tarnwick {

/// Tells the peer that one of its frames could not be handled; travels on that frame's stream.
struct ErrorMessage {
    std::uint16_t code = 0;
    std::string message{};
    bool isFatal = false;

    ErrorMessage() = default;
    ErrorMessage(std::uint16_t code, std::string message, bool isFatal);
    /// Code and fatality from the error, with the given text.
    ErrorMessage(const TWCPError& error, std::string message);

    bool operator==(const ErrorMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "ErrorMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("code", self.code);
        visit("message", self.message);
        visit("isFatal", self.isFatal);
    }
};

} // namespace tarnwick
