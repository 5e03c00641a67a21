#include "ConnectUI/Desktop/FirewallSettings.hpp"

#include <QProcess>
#include <QStandardPaths>

namespace tarnwick {

std::optional<QStringList> FirewallSettings::command(const QStringList& path) {
    // GNOME's network panel first: it is what the desktop itself offers; firewalld's own tool otherwise.
    for (const QStringList& candidate :
         {QStringList{"gnome-control-center", "network"}, QStringList{"firewall-config"}}) {
        const QString program = QStandardPaths::findExecutable(candidate.front(), path);
        if (!program.isEmpty()) {
            return QStringList{program} + candidate.mid(1);
        }
    }
    return std::nullopt;
}

bool FirewallSettings::open() {
    const auto settings = command();
    return settings && QProcess::startDetached(settings->front(), settings->mid(1));
}

} // namespace tarnwick
