#pragma once

#include "ConnectUI/Settings/ApplicationHome.hpp"

#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

#include <functional>
#include <string>

namespace tarnwick {

/// Carries the sign-in page's return address from the launch the browser starts to the instance that
/// is signing in, over a local socket in a folder only this user can enter. Both ends ask the kernel who
/// is at the other end and talk to this user only. Each profile has its own socket, so instances with
/// separate homes never take each other's addresses.
class SignInHandOff : public QObject {
    Q_OBJECT

public:
    using Receiver = std::function<void(const std::string& address)>;

    /// Longest address accepted; a sender that says more is dropped.
    static constexpr qsizetype addressLimit = 64 * 1024;

    explicit SignInHandOff(QObject* parent = nullptr);

    /// The socket path of the instance whose home is `home`: in $XDG_RUNTIME_DIR when that is this
    /// user's own private folder, else in the home's identity folder.
    static QString serverName(const ApplicationHome& home);
    /// Sends the address to the instance listening on `name`; false when none of this user's took it.
    static bool handOver(const QString& name, const std::string& address);

    /// Whether the process at the other end of a connected local socket runs as this user, as the kernel
    /// recorded it when that end connected or listened.
    static bool isThisUser(const QLocalSocket& socket);

    /// Receives addresses on `name` from now on, making its folder private first. A socket left behind
    /// by an instance that is gone is replaced; false when a running instance already listens there.
    bool listen(const QString& name, Receiver receive);

private:
    void accept();

    QLocalServer server_;
    Receiver receive_;
};

} // namespace tarnwick
