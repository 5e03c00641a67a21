#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <cstdint>
#include <string>

namespace tarnwick {

/// The sender's end of one file, with its size and digest for verification.
struct CompleteMessage {
    std::string fileID{};
    std::uint64_t byteCount = 0;
    Bytes sha256{};

    bool operator==(const CompleteMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "CompleteMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("fileID", self.fileID);
        visit("byteCount", self.byteCount);
        visit("sha256", self.sha256);
    }
};

} // namespace tarnwick
