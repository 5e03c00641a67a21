#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QVariantMap>

#include <set>
#include <vector>

namespace tarnwick::testing {

/// A desktop notification server of the tests' own on a session bus (org.freedesktop.Notifications):
/// it records every Notify call, answers like a real server (a replaced notification keeps its id) and
/// plays the user by invoking actions and dismissing notifications. It has a bus connection of its own,
/// so that the client under test talks to it through the bus daemon like to any other server.
class NotificationServer : public QDBusVirtualObject {
public:
    struct Call {
        uint id = 0;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };

    explicit NotificationServer(const QString& address)
        : bus_(QDBusConnection::connectToBus(address, "tarnwick-notification-server")) {
        registered_ = bus_.registerVirtualObject(path, this) && bus_.registerService(service);
    }
    ~NotificationServer() override {
        bus_.unregisterService(service);
        bus_.unregisterObject(path);
        QDBusConnection::disconnectFromBus(bus_.name());
    }

    bool isRegistered() const { return registered_; }
    const std::vector<Call>& calls() const { return calls_; }
    /// Ids the client closed.
    const std::set<uint>& closedByClient() const { return closedByClient_; }

    /// The user pressed the action's button; the notification goes, as servers do after an action.
    void invoke(uint id, const QString& key) {
        emitSignal("ActionInvoked", {id, key});
        dismiss(id);
    }
    /// The user closed the notification.
    void dismiss(uint id) { emitSignal("NotificationClosed", {id, 2u}); }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const auto arguments = message.arguments();
        if (message.member() == "Notify" && arguments.size() == 8) {
            const uint replaces = arguments[1].toUInt();
            const uint id = replaces != 0 ? replaces : ++lastID_;
            calls_.push_back({id, arguments[3].toString(), arguments[4].toString(),
                              arguments[5].toStringList(), qdbus_cast<QVariantMap>(arguments[6])});
            connection.send(message.createReply(QVariant::fromValue(id)));
        } else if (message.member() == "CloseNotification" && arguments.size() == 1) {
            closedByClient_.insert(arguments[0].toUInt());
            connection.send(message.createReply());
            emitSignal("NotificationClosed", {arguments[0].toUInt(), 3u});
        } else if (message.member() == "GetCapabilities") {
            connection.send(message.createReply(QStringList{"actions", "body"}));
        } else {
            return false;
        }
        return true;
    }

private:
    static constexpr const char* service = "org.freedesktop.Notifications";
    static constexpr const char* path = "/org/freedesktop/Notifications";

    void emitSignal(const char* name, const QVariantList& arguments) {
        auto signal = QDBusMessage::createSignal(path, service, name);
        signal.setArguments(arguments);
        bus_.send(signal);
    }

    QDBusConnection bus_;
    bool registered_ = false;
    std::vector<Call> calls_;
    std::set<uint> closedByClient_;
    uint lastID_ = 0;
};

} // namespace tarnwick::testing
