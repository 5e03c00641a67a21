#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace tarnwick {

/// What a watcher needs to know of a regular file: its size and its content modification time.
struct FileAttributes {
    std::uint64_t size = 0;
    std::chrono::system_clock::time_point modified;

    /// The attributes of a regular file, read in one `lstat`; none when the path is missing or names a
    /// directory, a symbolic link or a special file, none of which is ever sent.
    static std::optional<FileAttributes> ofRegularFile(const std::filesystem::path& file);

    friend bool operator==(const FileAttributes&, const FileAttributes&) = default;
};

} // namespace tarnwick
