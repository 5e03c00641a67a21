#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Messages/Playability.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

/// One file of an offer, or the file of a current-file message.
struct FileDescriptor {
    std::string fileID{};
    /// The file name proposed by the sender.
    std::string name{};
    std::uint64_t byteCount = 0;
    /// Uniform type identifier of the content.
    std::string utType{};
    Bytes sha256{};
    std::optional<std::int64_t> pixelWidth{};
    std::optional<std::int64_t> pixelHeight{};
    std::optional<double> durationSeconds{};
    std::optional<std::string> colorSpaceName{};
    std::optional<Playability> playability{};
    /// A JPEG image.
    std::optional<Bytes> thumbnailJPEG{};

    bool operator==(const FileDescriptor&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "FileDescriptor";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("fileID", self.fileID);
        visit("name", self.name);
        visit("byteCount", self.byteCount);
        visit("utType", self.utType);
        visit("sha256", self.sha256);
        visit("pixelWidth", self.pixelWidth);
        visit("pixelHeight", self.pixelHeight);
        visit("durationSeconds", self.durationSeconds);
        visit("colorSpaceName", self.colorSpaceName);
        visit("playability", self.playability);
        visit("thumbnailJPEG", self.thumbnailJPEG);
    }
};

} // namespace tarnwick
