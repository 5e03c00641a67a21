#pragma once

#include <string>

namespace tarnwick {

/// The receiver declines an offer.
struct RejectMessage {
    std::string offerID{};
    std::string reason{};

    bool operator==(const RejectMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "RejectMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("offerID", self.offerID);
        visit("reason", self.reason);
    }
};

} // namespace tarnwick
