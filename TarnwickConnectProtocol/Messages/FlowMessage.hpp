#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

/// The receiver's running count of consumed bytes of a file; it advances the sender's credit.
struct FlowMessage {
    std::string fileID{};
    std::uint64_t consumedBytes = 0;

    bool operator==(const FlowMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "FlowMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("fileID", self.fileID);
        visit("consumedBytes", self.consumedBytes);
    }
};

} // namespace tarnwick
