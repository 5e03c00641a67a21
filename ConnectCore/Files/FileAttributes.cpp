#include "ConnectCore/Files/FileAttributes.hpp"

#include <sys/stat.h>

namespace tarnwick {

std::optional<FileAttributes> FileAttributes::ofRegularFile(const std::filesystem::path& file) {
    struct stat status {};
    if (::lstat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    const auto sinceEpoch =
        std::chrono::seconds(status.st_mtim.tv_sec) + std::chrono::nanoseconds(status.st_mtim.tv_nsec);
    return FileAttributes{static_cast<std::uint64_t>(status.st_size),
                          std::chrono::system_clock::time_point(
                              std::chrono::duration_cast<std::chrono::system_clock::duration>(sinceEpoch))};
}

} // namespace tarnwick
