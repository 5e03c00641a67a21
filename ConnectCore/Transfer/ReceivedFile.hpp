#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick {

/// One incoming file, verified and placed under its final name.
struct ReceivedFile {
    std::string fileID;
    /// The final file name on disk.
    std::string name;
    /// The name the peer offered, when it differs from `name`.
    std::optional<std::string> originalName;
    std::filesystem::path path;
    std::uint64_t byteCount = 0;
    /// The uniform type identifier the peer offered.
    std::string utType;

    bool operator==(const ReceivedFile&) const = default;
};

} // namespace tarnwick
