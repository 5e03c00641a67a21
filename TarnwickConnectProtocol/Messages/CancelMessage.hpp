#pragma once

#include <optional>
#include <string>

namespace tarnwick {

/// Stops an offer, one of its files, or (with neither) everything on the stream.
struct CancelMessage {
    std::optional<std::string> offerID{};
    std::optional<std::string> fileID{};

    bool operator==(const CancelMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "CancelMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("offerID", self.offerID);
        visit("fileID", self.fileID);
    }
};

} // namespace tarnwick
