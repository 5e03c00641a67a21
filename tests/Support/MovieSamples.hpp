#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarnwick::testing {

/// Writes a one-second 64×64 MP4 with the ffmpeg command; false when ffmpeg is missing or fails.
/// `fastStart` puts the index before the samples, as streaming exports do.
inline bool writeSampleMovie(const std::filesystem::path& file, bool fastStart = false) {
    const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                                "testsrc=duration=1:size=64x64:rate=10 -pix_fmt yuv420p " +
                                std::string(fastStart ? "-movflags +faststart " : "") + "'" + file.string() +
                                "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && std::filesystem::file_size(file) > 0;
}

} // namespace tarnwick::testing
