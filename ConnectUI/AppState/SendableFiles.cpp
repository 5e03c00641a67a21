#include "ConnectUI/AppState/SendableFiles.hpp"

#include <algorithm>
#include <fstream>

namespace tarnwick {
namespace {

// Opening is the only honest test: permissions, ACLs and root's exemptions all decide it.
bool canRead(const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::is_regular_file(file, error) && std::ifstream(file, std::ios::binary).is_open();
}

void addFile(SendableFiles& files, const std::filesystem::path& file) {
    (canRead(file) ? files.readable : files.unreadable).push_back(file);
}

void addFolder(SendableFiles& files, const std::filesystem::path& folder) {
    std::error_code error;
    std::vector<std::filesystem::path> inside;
    // Linked folders are not followed, so a link back up the tree cannot make the walk endless.
    for (auto entry = std::filesystem::recursive_directory_iterator(folder, error);
         !error && entry != std::filesystem::recursive_directory_iterator(); entry.increment(error)) {
        if (!entry->is_directory(error)) {
            inside.push_back(entry->path());
        }
    }
    if (error) {
        files.unreadable.push_back(folder);
    }
    std::ranges::sort(inside);
    std::ranges::for_each(inside, [&](const auto& file) { addFile(files, file); });
}

} // namespace

SendableFiles SendableFiles::of(const std::vector<std::filesystem::path>& paths) {
    SendableFiles files;
    for (const auto& path : paths) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            addFolder(files, path);
        } else {
            addFile(files, path);
        }
    }
    return files;
}

} // namespace tarnwick
