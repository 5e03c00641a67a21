#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tarnwick {

/// The receiver takes an offer, resuming some files where their partial copies end.
struct AcceptMessage {
    std::string offerID{};
    /// File ID to byte offset; always written, even when empty.
    std::map<std::string, std::uint64_t> resumeOffsets{};

    bool operator==(const AcceptMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "AcceptMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("offerID", self.offerID);
        visit("resumeOffsets", self.resumeOffsets);
    }
};

} // namespace tarnwick
