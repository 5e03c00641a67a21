#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <string>

namespace tarnwick {

/// Carries the sign-in page's return address from the launch the browser starts to the instance that
/// is signing in, over a local socket only this user can reach. Each profile has its own socket name,
/// so instances with separate homes never take each other's addresses.
class SignInHandOff : public QObject {
    Q_OBJECT

public:
    using Receiver = std::function<void(const std::string& address)>;

    /// Longest address accepted; a sender that says more is dropped.
    static constexpr qsizetype addressLimit = 64 * 1024;

    explicit SignInHandOff(QObject* parent = nullptr);

    /// The socket name of the instance whose settings live in `settingsFile`.
    static QString serverName(const std::filesystem::path& settingsFile);
    /// Sends the address to the instance listening on `name`; false when none took it.
    static bool handOver(const QString& name, const std::string& address);

    /// Receives addresses on `name` from now on. A socket left behind by an instance that is gone is
    /// replaced; false when a running instance already listens there.
    bool listen(const QString& name, Receiver receive);

private:
    void accept();

    QLocalServer server_;
    Receiver receive_;
};

} // namespace tarnwick
