#pragma once

#include <QStringList>

#include <optional>

namespace tarnwick {

/// The desktop's network or firewall settings, where a blocked listener is usually unblocked.
class FirewallSettings {
public:
    /// The first installed of "gnome-control-center network" and "firewall-config", searched in `path`
    /// (the process's PATH when empty); none when neither is installed.
    static std::optional<QStringList> command(const QStringList& path = {});

    /// Starts the settings without waiting for them; false when none is installed or it could not start.
    static bool open();
};

} // namespace tarnwick
