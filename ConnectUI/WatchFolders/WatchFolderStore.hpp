#pragma once

#include "ConnectUI/Async/QtExecutor.hpp"
#include "ConnectUI/WatchFolders/WatchedFolder.hpp"

#include <QObject>
#include <QSettings>
#include <asio/any_io_executor.hpp>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

class WatchFolder;

/// The folders whose finished files are sent by themselves: the list the user edits, kept in the
/// settings under "watchFolders", with one running watcher per enabled folder. Problems show in
/// `lastError`. Main thread only; settled files reach `onSettled` on the main thread.
class WatchFolderStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::vector<tarnwick::WatchedFolder> folders READ folders NOTIFY foldersChanged)
    Q_PROPERTY(std::optional<std::string> lastError READ lastError NOTIFY lastErrorChanged)

public:
    static constexpr const char* settingsKey = "watchFolders";

    using OnSettled = std::function<void(const std::filesystem::path&)>;
    /// Asks the user for a folder; none when the user cancelled. Supplied by the user interface.
    using FolderChooser = std::function<std::optional<std::filesystem::path>()>;

    /// Loads the stored list; nothing is watched before `startAll`. Watchers read folders on `watching`,
    /// which should drive no sockets.
    WatchFolderStore(QSettings& settings, QtExecutor main, asio::any_io_executor watching,
                     OnSettled onSettled, QObject* parent = nullptr);
    ~WatchFolderStore() override;

    const std::vector<WatchedFolder>& folders() const { return folders_; }
    const std::optional<std::string>& lastError() const { return lastError_; }
    /// Whether a watcher runs for the folder.
    bool isWatching(const std::string& id) const { return watchers_.contains(id); }

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
    const QtExecutor main_;
    const asio::any_io_executor watching_;
    const OnSettled onSettled_;
    std::vector<WatchedFolder> folders_;
    std::optional<std::string> lastError_;
    std::map<std::string, std::shared_ptr<WatchFolder>> watchers_;
};

} // namespace tarnwick
