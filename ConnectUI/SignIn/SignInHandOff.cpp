#include "ConnectUI/SignIn/SignInHandOff.hpp"

#include "ConnectCore/Storage/PrivateFile.hpp"

#include <QCryptographicHash>
#include <QLocalSocket>

#include <cstdlib>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

constexpr int handOverWaitMilliseconds = 2000;

/// $XDG_RUNTIME_DIR when it is an absolute path to a folder that this user owns and nobody else may
/// enter; a shared or foreign folder there would let another user take the socket's name first.
std::optional<std::filesystem::path> runtimeFolder() {
    const char* value = std::getenv("XDG_RUNTIME_DIR");
    if (value == nullptr || *value != '/') {
        return std::nullopt;
    }
    struct stat folder {};
    if (::stat(value, &folder) != 0 || !S_ISDIR(folder.st_mode) || folder.st_uid != ::geteuid() ||
        (folder.st_mode & 0077) != 0) {
        return std::nullopt;
    }
    return std::filesystem::path(value);
}

} // namespace

SignInHandOff::SignInHandOff(QObject* parent) : QObject(parent) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&server_, &QLocalServer::newConnection, this, &SignInHandOff::accept);
}

QString SignInHandOff::serverName(const ApplicationHome& home) {
    if (const auto runtime = runtimeFolder()) {
        // One runtime folder serves every profile of this user: the settings file tells them apart.
        const QByteArray key =
            QByteArray::fromStdString(std::filesystem::absolute(home.settingsFile).string());
        const QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
        const std::string file = "tarnwick-connect-" + digest.toStdString() + ".socket";
        return QString::fromStdString((*runtime / file).string());
    }
    return QString::fromStdString(
        (std::filesystem::absolute(home.supportFolder) / "sign-in.socket").string());
}

bool SignInHandOff::isThisUser(const QLocalSocket& socket) {
    ucred peer{};
    socklen_t length = sizeof peer;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer,
                        &length) == 0 &&
           peer.uid == ::geteuid();
}

bool SignInHandOff::handOver(const QString& name, const std::string& address) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(handOverWaitMilliseconds)) {
        return false;
    }
    // Tokens or a code go to this user's own instance only, never to whoever took the name.
    if (!isThisUser(socket)) {
        socket.abort();
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
    try {
        PrivateFile::createFolder(std::filesystem::path(name.toStdString()).parent_path());
    } catch (const std::system_error&) {
        return false;
    }
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
        // Another user must not be able to sign this instance in to their account.
        if (!isThisUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
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
