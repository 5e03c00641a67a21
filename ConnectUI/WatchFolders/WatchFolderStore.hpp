#pragma once

#include "ConnectUI/WatchFolders/WatchedFolder.hpp"

#include <QObject>
#include <QSettings>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarnwick {

/// The folders whose finished files are sent by themselves: the list the user edits, kept in the
/// settings under "watchFolders", with one watcher per enabled folder, which the engine runs. Problems
/// show in `lastError`. Main thread only.
class WatchFolderStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::vector<tarnwick::WatchedFolder> folders READ folders NOTIFY foldersChanged)
    Q_PROPERTY(std::optional<std::string> lastError READ lastError NOTIFY lastErrorChanged)

public:
    static constexpr const char* settingsKey = "watchFolders";

    /// Asks the user for a folder; none when the user cancelled. Supplied by the user interface.
    using FolderChooser = std::function<std::optional<std::filesystem::path>()>;
    /// Starts and stops the watcher of a folder by its identifier; `start` says whether it could (the
    /// engine may not run yet).
    struct Watching {
        std::function<bool(const std::string& id, const std::filesystem::path& folder)> start;
        std::function<void(const std::string& id)> stop;
    };

    /// Loads the stored list; nothing is watched before `startAll`.
    WatchFolderStore(QSettings& settings, Watching watching, QObject* parent = nullptr);

    const std::vector<WatchedFolder>& folders() const { return folders_; }
    const std::optional<std::string>& lastError() const { return lastError_; }
    /// Whether a watcher runs for the folder.
    bool isWatching(const std::string& id) const { return watched_.contains(id); }

    void startAll();
    /// Adds the folder the chooser gives and starts watching it; a cancelled choice changes nothing.
    void add(const FolderChooser& choose);
    void remove(const WatchedFolder& folder);
    void setEnabled(bool enabled, const WatchedFolder& folder);

Q_SIGNALS:
    void foldersChanged();
    void lastErrorChanged();

private:
    void load();
    void persist();
    void startWatching(const WatchedFolder& folder);
    void stopWatching(const std::string& id);
    void setLastError(std::string text);

    QSettings& settings_;
    const Watching watching_;
    std::vector<WatchedFolder> folders_;
    std::optional<std::string> lastError_;
    std::set<std::string> watched_;
};

} // namespace tarnwick
