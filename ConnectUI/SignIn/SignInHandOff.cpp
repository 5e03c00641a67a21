#include "ConnectUI/SignIn/SignInHandOff.hpp"

#include <QCryptographicHash>
#include <QLocalSocket>

#include <unistd.h>

namespace tarnwick {
namespace {

constexpr int handOverWaitMilliseconds = 2000;

} // namespace

SignInHandOff::SignInHandOff(QObject* parent) : QObject(parent) {
    // Another user on this machine must not be able to sign this instance in to their account.
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&server_, &QLocalServer::newConnection, this, &SignInHandOff::accept);
}

QString SignInHandOff::serverName(const std::filesystem::path& settingsFile) {
    const QByteArray key = QByteArray::fromStdString(std::filesystem::absolute(settingsFile).string());
    const QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("tarnwick-connect-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest));
}

bool SignInHandOff::handOver(const QString& name, const std::string& address) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(handOverWaitMilliseconds)) {
        return false;
    }
    socket.write(QByteArray::fromStdString(address + "\n"));
    const bool sent = socket.waitForBytesWritten(handOverWaitMilliseconds);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(handOverWaitMilliseconds);
    }
    return sent;
}

bool SignInHandOff::listen(const QString& name, Receiver receive) {
    receive_ = std::move(receive);
    // Asked first: a listener with access options set would silently take the name over from a live one.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(handOverWaitMilliseconds)) {
        return false;
    }
    QLocalServer::removeServer(name);
    return server_.listen(name);
}

void SignInHandOff::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            const qsizetype end = socket->peek(addressLimit + 1).indexOf('\n');
            if (end < 0) {
                if (socket->bytesAvailable() > addressLimit) {
                    socket->abort();
                }
                return;
            }
            const QByteArray line = socket->read(end + 1).trimmed();
            socket->disconnectFromServer();
            receive_(line.toStdString());
        });
    }
}

} // namespace tarnwick
