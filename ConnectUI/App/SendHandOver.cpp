#include "ConnectUI/App/SendHandOver.hpp"

#include "ConnectCore/Discovery/DeviceAddress.hpp"
#include "ConnectUI/App/SendCommand.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/SignIn/SignInHandOff.hpp"
#include "ConnectUI/Terminal/EventReporter.hpp"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>

#include <sstream>
#include <unistd.h>

namespace tarnwick {
namespace {

constexpr int connectWaitMilliseconds = 2000;
/// A job names files by absolute path; a longer line is not a job.
constexpr qsizetype jobLimit = 1024 * 1024;

QByteArray line(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QJsonObject encode(const CommandLine::Options& options, bool live) {
    QJsonArray files;
    for (const auto& file : options.files) {
        files.append(QString::fromStdString(file.string()));
    }
    QJsonObject job{{"json", options.json}, {"live", live}, {"files", files}};
    if (options.to) {
        job["to"] = QString::fromStdString(*options.to);
    }
    if (options.address) {
        job["address"] = QString::fromStdString(*options.address);
    }
    return job;
}

/// The job a line carries; none unless it names one device and only absolute paths of regular files.
std::optional<CommandLine::Options> decode(const QByteArray& text) {
    const QJsonObject job = QJsonDocument::fromJson(text).object();
    CommandLine::Options options;
    options.command = CommandLine::Command::send;
    options.json = job.value("json").toBool();
    if (job.value("to").isString()) {
        options.to = job.value("to").toString().toStdString();
    }
    if (job.value("address").isString()) {
        options.address = job.value("address").toString().toStdString();
    }
    for (const QJsonValue& value : job.value("files").toArray()) {
        const std::filesystem::path file = value.toString().toStdString();
        std::error_code error;
        if (!file.is_absolute() || !std::filesystem::is_regular_file(file, error)) {
            return std::nullopt;
        }
        options.files.push_back(file);
    }
    if (options.to.has_value() == options.address.has_value() || options.files.empty() ||
        (options.address && !DeviceAddress::parse(*options.address))) {
        return std::nullopt;
    }
    return options;
}

/// What the job's reporter writes, sent to the command one line of JSON per flush.
class SocketOutput : public std::stringbuf {
public:
    explicit SocketOutput(QLocalSocket& socket) : socket_(socket) {}

protected:
    int sync() override {
        if (!str().empty()) {
            socket_.write(line({{"out", QString::fromStdString(str())}}));
            str({});
        }
        return 0;
    }

private:
    QLocalSocket& socket_;
};

/// One handed-over send, owned by its socket: it ends with the status line and the socket's close.
class Job : public QObject {
public:
    Job(AppState& state, CommandLine::Options options, bool live, QLocalSocket& socket)
        : QObject(&socket),
          output_(socket),
          stream_(&output_),
          reporter_(stream_, options.json ? EventReporter::Format::json : EventReporter::Format::text, live),
          command_(state, std::move(options), reporter_, std::nullopt) {
        QObject::connect(&command_, &SendCommand::finished, this, [&socket](int status) {
            socket.write(line({{"status", status}}));
            socket.disconnectFromServer();
        });
        command_.begin();
    }

private:
    SocketOutput output_;
    std::ostream stream_;
    EventReporter reporter_;
    SendCommand command_;
};

} // namespace

SendHandOver::SendHandOver(AppState& state, QObject* parent) : QObject(parent), state_(state) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&server_, &QLocalServer::newConnection, this, &SendHandOver::accept);
}

QString SendHandOver::serverName(const QString& handOffName) {
    return handOffName + ".send";
}

std::optional<int> SendHandOver::handOver(const QString& name, const CommandLine::Options& options,
                                          std::ostream& out) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(connectWaitMilliseconds) || !SignInHandOff::isThisUser(socket)) {
        return std::nullopt;
    }
    socket.write(line(encode(options, ::isatty(STDOUT_FILENO) != 0)));
    // The job takes as long as the files do; the running instance answers until it is done.
    while (socket.waitForReadyRead(-1) || socket.bytesAvailable() > 0) {
        while (socket.canReadLine()) {
            const QJsonObject message = QJsonDocument::fromJson(socket.readLine()).object();
            out << message.value("out").toString().toStdString() << std::flush;
            if (message.contains("status")) {
                return message.value("status").toInt(CommandLine::fileFailed);
            }
        }
        if (socket.state() != QLocalSocket::ConnectedState && !socket.canReadLine()) {
            break;
        }
    }
    // The running instance went away before the outcome: not every file may have arrived.
    return CommandLine::fileFailed;
}

bool SendHandOver::listen(const QString& name) {
    QLocalServer::removeServer(name);
    return server_.listen(name);
}

void SendHandOver::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Only this user's commands may send this user's files.
        if (!SignInHandOff::isThisUser(*socket)) {
            socket->abort();
            continue;
        }
        QObject::connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > jobLimit) {
                    socket->abort();
                }
                return;
            }
            QObject::disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
            const QByteArray text = socket->readLine(jobLimit);
            const auto options = decode(text);
            if (!options) {
                socket->write(line({{"out", "not a job: the files must be absolute paths of files\n"},
                                    {"status", CommandLine::usageError}}));
                socket->disconnectFromServer();
                return;
            }
            new Job(state_, *options, QJsonDocument::fromJson(text).object().value("live").toBool(), *socket);
        });
    }
}

} // namespace tarnwick
