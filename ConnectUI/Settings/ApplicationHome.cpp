#include "ConnectUI/Settings/ApplicationHome.hpp"

#include "ConnectCore/Host/HostFacts.hpp"

#include <QDir>
#include <QStandardPaths>
#include <QString>

#include <cstdlib>

namespace tarnwick {
namespace {

constexpr const char* organization = "Tarnwick";
constexpr const char* application = "Tarnwick Connect";

std::filesystem::path userDownloads() {
    return ApplicationHome::downloadsIn(
        QStandardPaths::writableLocation(QStandardPaths::DownloadLocation).toStdString(),
        QDir::homePath().toStdString());
}

std::filesystem::path userSettingsFile() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::filesystem::path(config.toStdString()) / organization / (std::string(application) + ".ini");
}

} // namespace

std::filesystem::path ApplicationHome::downloadsIn(const std::filesystem::path& xdgDownloads,
                                                   const std::filesystem::path& home) {
    // Never the shared temporary folder: other users could read what arrives there, or plant a folder
    // of theirs under the name first.
    const auto downloads = xdgDownloads.empty() ? home / "Downloads" : xdgDownloads;
    return downloads / application;
}

ApplicationHome ApplicationHome::forUser() {
    return {userSettingsFile(), HostFacts::applicationSupportFolder(), userDownloads()};
}

ApplicationHome ApplicationHome::inProfile(const std::filesystem::path& profile) {
    const auto root = std::filesystem::absolute(profile);
    return {root / "config" / organization / (std::string(application) + ".ini"), root / "data" / application,
            root / "Downloads" / application};
}

ApplicationHome ApplicationHome::choose(const std::optional<std::filesystem::path>& profile) {
    if (profile) {
        return inProfile(*profile);
    }
    const char* home = std::getenv("TARNWICK_HOME");
    if (home != nullptr && *home != '\0') {
        return inProfile(home);
    }
    return forUser();
}

std::unique_ptr<QSettings> ApplicationHome::openSettings() const {
    return std::make_unique<QSettings>(QString::fromStdString(settingsFile.string()), QSettings::IniFormat);
}

} // namespace tarnwick
