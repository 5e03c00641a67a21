#pragma once

#include <QSettings>

#include <filesystem>
#include <memory>
#include <optional>

namespace tarnwick {

/// Where one instance keeps what is its own: settings, identity files and the default downloads folder.
/// Normally the user's XDG folders; a profile folder holds all of them, so that two instances with
/// separate identities and settings can run on one machine.
struct ApplicationHome {
    /// The INI file of the user's settings.
    std::filesystem::path settingsFile;
    /// The identity files ("device.key", "device.id").
    std::filesystem::path supportFolder;
    /// Where received files go unless the user chose a folder.
    std::filesystem::path defaultDownloads;

    /// The user's own: $XDG_CONFIG_HOME/Tarnwick/, $XDG_DATA_HOME/Tarnwick Connect and `downloadsIn` the
    /// XDG download folder.
    static ApplicationHome forUser();
    /// "Tarnwick Connect" in the download folder, or in `home`/Downloads when there is none.
    static std::filesystem::path downloadsIn(const std::filesystem::path& xdgDownloads,
                                             const std::filesystem::path& home);
    /// Everything inside `profile`: config/Tarnwick/, data/Tarnwick Connect and Downloads/Tarnwick Connect.
    static ApplicationHome inProfile(const std::filesystem::path& profile);
    /// `profile` when given, else $TARNWICK_HOME when set and not empty, else the user's.
    static ApplicationHome choose(const std::optional<std::filesystem::path>& profile);

    /// The settings store every part of the application shares.
    std::unique_ptr<QSettings> openSettings() const;
};

} // namespace tarnwick
