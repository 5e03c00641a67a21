#include "ConnectUI/Desktop/NotificationClient.hpp"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace tarnwick {
namespace {

constexpr const char* service = "org.freedesktop.Notifications";
constexpr const char* path = "/org/freedesktop/Notifications";
constexpr const char* interface = "org.freedesktop.Notifications";

QDBusMessage call(const char* method) {
    return QDBusMessage::createMethodCall(service, path, interface, method);
}

} // namespace

NotificationClient::NotificationClient(QDBusConnection bus, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)) {
    bus_.connect(service, path, interface, "ActionInvoked", this, SLOT(onActionInvoked(uint, QString)));
    bus_.connect(service, path, interface, "NotificationClosed", this,
                 SLOT(onNotificationClosed(uint, uint)));
}

void NotificationClient::notify(const Notification& notification, uint replaces, Shown shown) {
    // The desktop entry lets the server show the launcher's name and icon; urgency 2 is "critical".
    QVariantMap hints{{"desktop-entry", QString("io.tarnwick.connect")},
                      {"urgency", QVariant::fromValue<uchar>(notification.critical ? 2 : 1)}};
    auto message = call("Notify");
    message << QString("Tarnwick Connect") << replaces << QString("io.tarnwick.connect")
            << notification.summary << notification.body << notification.actions << hints
            << (notification.critical ? 0 : -1);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this,
                     [shown = std::move(shown)](QDBusPendingCallWatcher* finished) {
                         const QDBusPendingReply<uint> reply = *finished;
                         if (!reply.isError() && shown) {
                             shown(reply.value());
                         }
                         finished->deleteLater();
                     });
}

void NotificationClient::close(uint id) {
    auto message = call("CloseNotification");
    message << id;
    bus_.send(message);
}

void NotificationClient::onActionInvoked(uint id, const QString& key) {
    Q_EMIT actionInvoked(id, key);
}

void NotificationClient::onNotificationClosed(uint id, uint) {
    Q_EMIT closed(id);
}

} // namespace tarnwick
