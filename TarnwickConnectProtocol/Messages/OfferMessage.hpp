#pragma once

#include "TarnwickConnectProtocol/Messages/FileDescriptor.hpp"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// Files the sender proposes on a fresh stream.
struct OfferMessage {
    std::string offerID{};
    /// May be empty.
    std::vector<FileDescriptor> files{};
    std::optional<std::string> origin{};

    bool operator==(const OfferMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "OfferMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("offerID", self.offerID);
        visit("files", self.files);
        visit("origin", self.origin);
    }
};

} // namespace tarnwick
