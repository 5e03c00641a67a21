#pragma once

#include <QByteArray>

#include <filesystem>
#include <string>

namespace tarnwick {

/// One folder in the watched list.
struct WatchedFolder {
    /// Upper-case UUID text.
    std::string id;
    /// The folder's path when it was added.
    std::string path;
    /// What re-opens the folder: here its absolute path.
    QByteArray bookmark;
    bool isEnabled = true;

    std::filesystem::path url() const { return path; }
    std::string name() const { return url().filename().string(); }

    bool operator==(const WatchedFolder&) const = default;
};

} // namespace tarnwick
