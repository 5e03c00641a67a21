#pragma once

#include <string>

namespace tarnwick {

/// Withdraws a range request.
struct RangeCancelMessage {
    std::string requestID{};

    bool operator==(const RangeCancelMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "RangeCancelMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("requestID", self.requestID);
    }
};

} // namespace tarnwick
