#pragma once

#include <QObject>
#include <QSettings>
#include <QVariantList>

#include <filesystem>
#include <functional>
#include <optional>

namespace tarnwick {

class AppState;

/// The settings pane's values and actions: this device's name, open at login, the saving folder and
/// sounds, notifications, paired devices, watch folders and the listener's status.
class SettingsModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString deviceName READ deviceName WRITE setDeviceName NOTIFY changed)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin NOTIFY changed)
    Q_PROPERTY(QString loginError READ loginError NOTIFY changed)
    Q_PROPERTY(QString downloadsPath READ downloadsPath NOTIFY changed)
    Q_PROPERTY(QString downloadsProblem READ downloadsProblem NOTIFY changed)
    Q_PROPERTY(bool downloadsCustom READ downloadsCustom NOTIFY changed)
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
    /// Asks the user for a folder; none when they cancel.
    using FolderChooser = std::function<std::optional<std::filesystem::path>()>;

    SettingsModel(AppState& state, QSettings& settings, FolderChooser chooseFolder,
                  std::filesystem::path program, QObject* parent = nullptr);

    QString deviceName() const;
    void setDeviceName(const QString& name);
    bool launchAtLogin() const { return launchAtLogin_; }
    QString loginError() const { return loginError_; }
    QString downloadsPath() const;
    QString downloadsProblem() const;
    bool downloadsCustom() const;
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

Q_SIGNALS:
    void changed();

private:
    template <typename Action> void withWatchedFolder(const QString& id, Action action);

    AppState& state_;
    QSettings& settings_;
    FolderChooser chooseFolder_;
    std::filesystem::path program_;
    /// Read once: only this switch changes the entry while the application runs.
    bool launchAtLogin_;
    QString loginError_;
};

} // namespace tarnwick
