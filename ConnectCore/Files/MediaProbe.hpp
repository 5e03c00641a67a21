#pragma once

#include <filesystem>
#include <optional>

namespace tarnwick {

/// What a media container says about itself.
struct MediaProbe {
    /// It holds at least one audio or video stream, and every sample its index lists lies inside the file.
    bool readable = false;
    double durationSeconds = 0;

    /// Opens the file as a media container (local files only: references to other protocols are refused)
    /// and reads its header and index; none when that fails. Blocking: keep it off threads that drive
    /// sockets.
    static std::optional<MediaProbe> inspect(const std::filesystem::path& file);
};

} // namespace tarnwick
