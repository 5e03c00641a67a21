#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// What a second launch of the application asks of the instance already running with its profile: show
/// the window, and send the files it was opened with to the selected device. It travels over the sign-in
/// hand-off's socket as lines of its own kind, so a sign-in address is never mistaken for one.
struct LaunchRequest {
    /// Absolute paths; relative ones would be read against the running instance's folder.
    std::vector<std::filesystem::path> files;

    /// The lines that carry the request, each at most `limit` bytes unless one file's name alone is
    /// longer: a long list of files is split over several requests.
    std::vector<std::string> encode(std::size_t limit) const;
    /// The request a line carries; none when the line is something else, or a file is not absolute.
    static std::optional<LaunchRequest> decode(const std::string& line);
};

} // namespace tarnwick
