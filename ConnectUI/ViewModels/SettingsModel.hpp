#pragma once

#include "ConnectUI/Desktop/FolderRequest.hpp"

#include <QObject>
#include <QSettings>
#include <QVariantList>

#include <filesystem>

namespace tarnwick {

class AppState;

/// The settings pane's values and actions: this device's name, open at login, the saving folder and
/// sounds, notifications, paired devices, watch folders and the listener's status.
class SettingsModel : public QObject {
    Q_OBJECT
    // Its own signal: the name field must not be refreshed by unrelated changes while it is edited.
    Q_PROPERTY(QString deviceName READ deviceName WRITE setDeviceName NOTIFY deviceNameChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin NOTIFY changed)
    Q_PROPERTY(QString loginError READ loginError NOTIFY changed)
    Q_PROPERTY(QString downloadsPath READ downloadsPath NOTIFY changed)
    Q_PROPERTY(QString downloadsProblem READ downloadsProblem NOTIFY changed)
    Q_PROPERTY(bool downloadsResettable READ downloadsResettable NOTIFY changed)
    Q_PROPERTY(bool soundsEnabled READ soundsEnabled WRITE setSoundsEnabled NOTIFY changed)
    Q_PROPERTY(
        bool notificationsEnabled READ notificationsEnabled WRITE setNotificationsEnabled NOTIFY changed)
    Q_PROPERTY(QVariantList pairedDevices READ pairedDevices NOTIFY changed)
    Q_PROPERTY(QVariantList watchFolders READ watchFolders NOTIFY changed)
    Q_PROPERTY(QString watchFolderError READ watchFolderError NOTIFY changed)
    Q_PROPERTY(QString connectionStatus READ connectionStatus NOTIFY changed)
    Q_PROPERTY(int connectedCount READ connectedCount NOTIFY changed)
    Q_PROPERTY(double thumbnailSide READ thumbnailSide WRITE setThumbnailSide NOTIFY changed)

public:
    SettingsModel(AppState& state, QSettings& settings, std::filesystem::path program,
                  QObject* parent = nullptr);

    QString deviceName() const;
    void setDeviceName(const QString& name);
    bool launchAtLogin() const { return launchAtLogin_; }
    QString loginError() const { return loginError_; }
    QString downloadsPath() const;
    QString downloadsProblem() const;
    /// Whether a folder choice is stored, in use or not: "Reset" is the way back from an unusable one.
    bool downloadsResettable() const;
    bool soundsEnabled() const;
    void setSoundsEnabled(bool enabled);
    bool notificationsEnabled() const;
    void setNotificationsEnabled(bool enabled);
    QVariantList pairedDevices() const;
    QVariantList watchFolders() const;
    QString watchFolderError() const;
    QString connectionStatus() const;
    int connectedCount() const;
    /// The gallery's thumbnail edge, kept across runs.
    double thumbnailSide() const;
    void setThumbnailSide(double side);

    Q_INVOKABLE void setLaunchAtLogin(bool enabled);
    Q_INVOKABLE void chooseDownloads();
    Q_INVOKABLE void revealDownloads();
    Q_INVOKABLE void resetDownloads();
    Q_INVOKABLE void removePaired(const QString& fingerprint);
    Q_INVOKABLE void addWatchFolder();
    Q_INVOKABLE void setWatchFolderEnabled(const QString& id, bool enabled);
    Q_INVOKABLE void removeWatchFolder(const QString& id);

    /// What each chooser asks.
    static FolderRequest downloadsRequest(const std::filesystem::path& current);
    static FolderRequest watchFolderRequest();

Q_SIGNALS:
    void changed();
    void deviceNameChanged();

private:
    template <typename Action> void withWatchedFolder(const QString& id, Action action);

    AppState& state_;
    QSettings& settings_;
    std::filesystem::path program_;
    /// Read once: only this switch changes the entry while the application runs.
    bool launchAtLogin_;
    QString loginError_;
};

} // namespace tarnwick
