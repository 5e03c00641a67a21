#pragma once

#include <filesystem>
#include <string>

/// What this computer says about itself: the names a device announces and where its own files live.
/// Readers take the root of the file system so that tests can stage their own /etc.
namespace tarnwick::HostFacts {

/// The name the user gave the computer: PRETTY_HOSTNAME from etc/machine-info, else the host name.
std::string computerName(const std::filesystem::path& root = "/");

/// The operating system's human-readable version: PRETTY_NAME from etc/os-release, else from
/// usr/lib/os-release, else "Linux" (the default os-release prescribes).
std::string osVersion(const std::filesystem::path& root = "/");

/// "$XDG_DATA_HOME/Tarnwick Connect", or "$HOME/.local/share/Tarnwick Connect" when XDG_DATA_HOME is
/// unset, empty or relative. Throws std::system_error when there is no home folder at all.
std::filesystem::path applicationSupportFolder();

/// "$XDG_CONFIG_HOME/Tarnwick", or "$HOME/.config/Tarnwick" on the same terms: the settings and the
/// key store's fallback file.
std::filesystem::path configFolder();

/// "$XDG_CONFIG_HOME/autostart" on the same terms: entries the desktop starts at login.
std::filesystem::path autostartFolder();

} // namespace tarnwick::HostFacts
