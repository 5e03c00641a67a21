#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tarnwick {

/// Why open-at-login could not be switched: the autostart entry could not be written or removed.
class LoginItemError : public std::runtime_error {
public:
    LoginItemError(std::filesystem::path entry, std::string reason);

    const std::filesystem::path& entry() const { return entry_; }
    const std::string& reason() const { return reason_; }

private:
    std::filesystem::path entry_;
    std::string reason_;
};

/// Opening the application at login, through the desktop's autostart folder: an entry
/// named after the installed launcher, "io.tarnwick.connect.desktop", in $XDG_CONFIG_HOME/autostart (else
/// ~/.config/autostart), so the desktop shows it with the launcher's name and icon.
class LoginItem {
public:
    /// The entry's path for this user.
    static std::filesystem::path entry();

    /// Whether the entry exists and is not hidden.
    static bool isEnabled();

    /// Writes an entry that starts `program`, or removes it; throws LoginItemError.
    static void setEnabled(bool enabled, const std::filesystem::path& program);
};

} // namespace tarnwick
