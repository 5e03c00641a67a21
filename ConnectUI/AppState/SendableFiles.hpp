#pragma once

#include <filesystem>
#include <vector>

namespace tarnwick {

/// What a send of dropped or chosen paths offers: a folder stands for the files inside it, at any depth,
/// and a path that cannot be read is set apart so that it is named instead of failing the whole batch.
struct SendableFiles {
    /// Regular files this process can read, in the order given (a folder's files by path).
    std::vector<std::filesystem::path> readable;
    /// Missing, unreadable or special files, and folders that could not be listed.
    std::vector<std::filesystem::path> unreadable;

    static SendableFiles of(const std::vector<std::filesystem::path>& paths);
};

} // namespace tarnwick
