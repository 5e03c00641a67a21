#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

/// Asks for a byte range of a file.
struct RangeRequestMessage {
    std::string requestID{};
    std::string fileID{};
    std::uint64_t offset = 0;
    std::int64_t length = 0;

    bool operator==(const RangeRequestMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "RangeRequestMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("requestID", self.requestID);
        visit("fileID", self.fileID);
        visit("offset", self.offset);
        visit("length", self.length);
    }
};

} // namespace tarnwick
