#pragma once

#include <filesystem>
#include <sys/stat.h>

namespace tarnwick::testing {

/// The permission bits of a file or folder; 0 when there is none.
inline mode_t modeOf(const std::filesystem::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

} // namespace tarnwick::testing
