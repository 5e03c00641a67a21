#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

/// Ends the answer to a range request.
struct RangeEndMessage {
    std::string requestID{};
    std::int64_t deliveredBytes = 0;
    bool isEndOfFile = false;

    bool operator==(const RangeEndMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "RangeEndMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("requestID", self.requestID);
        visit("deliveredBytes", self.deliveredBytes);
        visit("isEndOfFile", self.isEndOfFile);
    }
};

} // namespace tarnwick
