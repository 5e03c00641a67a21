#include "ConnectUI/WatchFolders/WatchFolderStore.hpp"

#include "ConnectUI/Settings/StoredList.hpp"

#include <QJsonObject>
#include <QUuid>

#include <unistd.h>

namespace tarnwick {
namespace {

std::optional<WatchedFolder> decode(const QJsonValue& value) {
    const QJsonObject object = value.toObject();
    const QJsonValue id = object.value("id");
    const QJsonValue path = object.value("path");
    const QJsonValue bookmark = object.value("bookmark");
    const QJsonValue enabled = object.value("isEnabled");
    if (!id.isString() || !path.isString() || !bookmark.isString() || !enabled.isBool()) {
        return std::nullopt;
    }
    return WatchedFolder{id.toString().toStdString(), path.toString().toStdString(),
                         QByteArray::fromBase64(bookmark.toString().toLatin1()), enabled.toBool()};
}

QJsonObject encode(const WatchedFolder& folder) {
    return {{"id", QString::fromStdString(folder.id)},
            {"path", QString::fromStdString(folder.path)},
            {"bookmark", QString::fromLatin1(folder.bookmark.toBase64())},
            {"isEnabled", folder.isEnabled}};
}

// A folder is kept by its absolute path; it resolves while it is still a folder.
std::optional<std::filesystem::path> resolve(const QByteArray& bookmark) {
    const std::filesystem::path folder(bookmark.toStdString());
    std::error_code error;
    if (!folder.is_absolute() || !std::filesystem::is_directory(folder, error)) {
        return std::nullopt;
    }
    return folder;
}

// Why a chosen path cannot be kept as a folder; no error when it can.
std::error_code folderProblem(const std::filesystem::path& folder) {
    std::error_code error;
    const auto status = std::filesystem::status(folder, error);
    if (error) {
        return error;
    }
    if (status.type() == std::filesystem::file_type::not_found) {
        return std::make_error_code(std::errc::no_such_file_or_directory);
    }
    if (status.type() != std::filesystem::file_type::directory) {
        return std::make_error_code(std::errc::not_a_directory);
    }
    return {};
}

} // namespace

WatchFolderStore::WatchFolderStore(QSettings& settings, Watching watching, QObject* parent)
    : QObject(parent),
      settings_(settings),
      watching_(std::move(watching)) {
    load();
}

void WatchFolderStore::startAll() {
    for (const auto& folder : folders_) {
        startWatching(folder);
    }
}

void WatchFolderStore::add(const FolderChooser& choose) {
    const auto chosen = choose();
    if (!chosen) {
        return;
    }
    const auto folder = std::filesystem::absolute(*chosen).lexically_normal();
    if (const auto problem = folderProblem(folder)) {
        setLastError("Could not keep access to " + folder.filename().string() + ": " + problem.message());
        return;
    }
    const auto id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
    folders_.push_back({id, folder.string(), QByteArray::fromStdString(folder.string()), true});
    persist();
    // Watching before the list changes, so that a file written once the folder shows is new to it.
    startWatching(folders_.back());
    Q_EMIT foldersChanged();
}

void WatchFolderStore::remove(const WatchedFolder& folder) {
    stopWatching(folder.id);
    std::erase_if(folders_, [&](const WatchedFolder& entry) { return entry.id == folder.id; });
    persist();
    Q_EMIT foldersChanged();
}

void WatchFolderStore::setEnabled(bool enabled, const WatchedFolder& folder) {
    const auto entry = std::find_if(folders_.begin(), folders_.end(), [&](const WatchedFolder& candidate) {
        return candidate.id == folder.id;
    });
    if (entry == folders_.end()) {
        return;
    }
    entry->isEnabled = enabled;
    const WatchedFolder updated = *entry;
    persist();
    if (enabled) {
        startWatching(updated);
    } else {
        stopWatching(updated.id);
    }
    Q_EMIT foldersChanged();
}

void WatchFolderStore::load() {
    folders_ = StoredList::load<WatchedFolder>(settings_, settingsKey, decode);
}

void WatchFolderStore::persist() {
    StoredList::store(settings_, settingsKey, folders_, encode);
}

void WatchFolderStore::startWatching(const WatchedFolder& folder) {
    if (!folder.isEnabled || watched_.contains(folder.id)) {
        return;
    }
    const auto resolved = resolve(folder.bookmark);
    if (!resolved) {
        setLastError("Lost access to " + folder.name() + ". Remove and add it again.");
        return;
    }
    if (::access(resolved->c_str(), R_OK | X_OK) != 0) {
        setLastError("Could not open " + folder.name() + ".");
        return;
    }
    if (watching_.start(folder.id, *resolved)) {
        watched_.insert(folder.id);
    }
}

void WatchFolderStore::stopWatching(const std::string& id) {
    if (watched_.erase(id) > 0) {
        watching_.stop(id);
    }
}

void WatchFolderStore::setLastError(std::string text) {
    if (lastError_ != text) {
        lastError_ = std::move(text);
        Q_EMIT lastErrorChanged();
    }
}

} // namespace tarnwick
