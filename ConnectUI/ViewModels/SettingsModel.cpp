#include "ConnectUI/ViewModels/SettingsModel.hpp"

#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Desktop/DesktopNotifications.hpp"
#include "ConnectUI/Desktop/FileManager.hpp"
#include "ConnectUI/Desktop/LoginItem.hpp"
#include "ConnectUI/Gallery/TransferGallery.hpp"
#include "ConnectUI/Presentation/AvailabilityText.hpp"

#include <QDateTime>
#include <QDir>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace tarnwick {
namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QString pairedWhen(std::chrono::system_clock::time_point lastSeen) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(lastSeen.time_since_epoch());
    const QDateTime when = QDateTime::fromSecsSinceEpoch(seconds.count());
    return "Paired " + QLocale().toString(when, QLocale::ShortFormat);
}

} // namespace

SettingsModel::SettingsModel(AppState& state, QSettings& settings, std::filesystem::path program,
                             QObject* parent)
    : QObject(parent),
      state_(state),
      settings_(settings),
      program_(std::move(program)),
      launchAtLogin_(LoginItem::isEnabled()) {
    for (const auto signal :
         {&AppState::availabilityChanged, &AppState::connectedDevicesChanged, &AppState::accountChanged}) {
        QObject::connect(&state_, signal, this, &SettingsModel::changed);
    }
    QObject::connect(&state_, &AppState::deviceNameChanged, this, &SettingsModel::deviceNameChanged);
    QObject::connect(&state_.downloads(), &DownloadsLocation::urlChanged, this, &SettingsModel::changed);
    QObject::connect(&state_.downloads(), &DownloadsLocation::problemChanged, this, &SettingsModel::changed);
    QObject::connect(&state_.sounds(), &Sounds::isEnabledChanged, this, &SettingsModel::changed);
    QObject::connect(&state_.paired(), &PairedDevices::devicesChanged, this, &SettingsModel::changed);
    QObject::connect(state_.watchFolders(), &WatchFolderStore::foldersChanged, this, &SettingsModel::changed);
    QObject::connect(state_.watchFolders(), &WatchFolderStore::lastErrorChanged, this,
                     &SettingsModel::changed);
}

QString SettingsModel::deviceName() const {
    return text(state_.deviceName());
}
void SettingsModel::setDeviceName(const QString& name) {
    state_.setDeviceName(name.toStdString());
}
QString SettingsModel::downloadsPath() const {
    return text(state_.receiveFolder().string());
}
QString SettingsModel::downloadsProblem() const {
    return text(state_.downloads().problem().value_or(""));
}
bool SettingsModel::downloadsResettable() const {
    return state_.downloads().hasStoredChoice();
}
bool SettingsModel::soundsEnabled() const {
    return state_.sounds().isEnabled();
}
void SettingsModel::setSoundsEnabled(bool enabled) {
    state_.sounds().setEnabled(enabled);
}
bool SettingsModel::notificationsEnabled() const {
    return DesktopNotifications::isEnabled(settings_);
}
void SettingsModel::setNotificationsEnabled(bool enabled) {
    if (enabled != notificationsEnabled()) {
        settings_.setValue(DesktopNotifications::enabledKey, enabled);
        Q_EMIT changed();
    }
}

QVariantList SettingsModel::pairedDevices() const {
    QVariantList devices;
    for (const PairedDevice& device : state_.paired().devices()) {
        devices.append(QVariantMap{{"fingerprint", text(device.fingerprint)},
                                   {"name", text(device.name)},
                                   {"when", pairedWhen(device.lastSeen)}});
    }
    return devices;
}

QVariantList SettingsModel::watchFolders() const {
    QVariantList folders;
    for (const WatchedFolder& folder : state_.watchFolders()->folders()) {
        folders.append(
            QVariantMap{{"id", text(folder.id)}, {"path", text(folder.path)}, {"enabled", folder.isEnabled}});
    }
    return folders;
}

QString SettingsModel::watchFolderError() const {
    return text(state_.watchFolders()->lastError().value_or(""));
}

QString SettingsModel::connectionStatus() const {
    return availabilityText(state_.availability());
}

int SettingsModel::connectedCount() const {
    return static_cast<int>(state_.connectedDevices().size());
}

double SettingsModel::thumbnailSide() const {
    bool valid = false;
    const double side = settings_.value(TransferGallery::sideKey).toDouble(&valid);
    return valid && std::isfinite(side)
               ? std::clamp(side, TransferGallery::minimumSide, TransferGallery::maximumSide)
               : TransferGallery::defaultSide;
}

void SettingsModel::setThumbnailSide(double side) {
    if (!std::isfinite(side)) {
        return;
    }
    const double kept = std::clamp(side, TransferGallery::minimumSide, TransferGallery::maximumSide);
    if (kept != thumbnailSide()) {
        settings_.setValue(TransferGallery::sideKey, kept);
        Q_EMIT changed();
    }
}

void SettingsModel::setLaunchAtLogin(bool enabled) {
    try {
        LoginItem::setEnabled(enabled, program_);
        launchAtLogin_ = enabled;
        loginError_.clear();
    } catch (const LoginItemError& error) {
        loginError_ = "Couldn't change Open at login: " + text(error.reason());
    }
    Q_EMIT changed();
}

FolderRequest SettingsModel::downloadsRequest(const std::filesystem::path& current) {
    return {"Files sent to this computer are saved in this folder.", "Save Here", current};
}

FolderRequest SettingsModel::watchFolderRequest() {
    return {"Files finished in this folder are sent automatically.", "Watch Folder",
            QDir::homePath().toStdString()};
}

void SettingsModel::chooseDownloads() {
    downloadsRequest(state_.receiveFolder()).ask([this](const std::filesystem::path& folder) {
        state_.downloads().choose(folder);
    });
}

void SettingsModel::revealDownloads() {
    FileManager::reveal(state_.receiveFolder());
}
void SettingsModel::resetDownloads() {
    state_.downloads().reset();
}

void SettingsModel::removePaired(const QString& fingerprint) {
    const auto& devices = state_.paired().devices();
    const auto found = std::ranges::find(devices, fingerprint.toStdString(), &PairedDevice::fingerprint);
    if (found != devices.end()) {
        state_.paired().forget(PairedDevice(*found));
    }
}

void SettingsModel::addWatchFolder() {
    watchFolderRequest().ask([this](const std::filesystem::path& folder) {
        state_.watchFolders()->add([folder] { return std::optional(folder); });
    });
}

template <typename Action> void SettingsModel::withWatchedFolder(const QString& id, Action action) {
    const auto& folders = state_.watchFolders()->folders();
    const auto found = std::ranges::find(folders, id.toStdString(), &WatchedFolder::id);
    if (found != folders.end()) {
        action(WatchedFolder(*found));
    }
}

void SettingsModel::setWatchFolderEnabled(const QString& id, bool enabled) {
    withWatchedFolder(
        id, [&](const WatchedFolder& folder) { state_.watchFolders()->setEnabled(enabled, folder); });
}

void SettingsModel::removeWatchFolder(const QString& id) {
    withWatchedFolder(id, [&](const WatchedFolder& folder) { state_.watchFolders()->remove(folder); });
}

} // namespace tarnwick
