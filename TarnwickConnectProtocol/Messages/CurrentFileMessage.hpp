#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Messages/FileDescriptor.hpp"

#include <optional>
#include <string>

namespace tarnwick {

/// The file a live-preview session is showing.
struct CurrentFileMessage {
    std::string sessionID{};
    FileDescriptor file{};
    /// A JPEG image.
    std::optional<Bytes> posterJPEG{};
    std::optional<double> transcodeProgress{};

    bool operator==(const CurrentFileMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "CurrentFileMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("sessionID", self.sessionID);
        visit("file", self.file);
        visit("posterJPEG", self.posterJPEG);
        visit("transcodeProgress", self.transcodeProgress);
    }
};

} // namespace tarnwick
