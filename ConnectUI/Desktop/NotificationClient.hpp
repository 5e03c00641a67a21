#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace tarnwick {

/// Shows, replaces and closes notifications through the desktop's notification server
/// (org.freedesktop.Notifications) and reports what the user did with them. Every call is asynchronous:
/// a desktop without a server shows nothing and blocks nothing.
class NotificationClient : public QObject {
    Q_OBJECT

public:
    struct Notification {
        QString summary;
        QString body;
        /// Pairs of action key and button label; the key "default" is a click on the notification.
        QStringList actions;
        /// Asks for the user's answer: it stays on screen until answered or closed.
        bool critical = false;
    };

    /// The id the server gave the notification, once it answered.
    using Shown = std::function<void(uint id)>;

    explicit NotificationClient(QDBusConnection bus, QObject* parent = nullptr);

    /// Shows `notification`, in place of the one with id `replaces` when that is not 0.
    void notify(const Notification& notification, uint replaces, Shown shown);
    void close(uint id);

Q_SIGNALS:
    void actionInvoked(uint id, const QString& key);
    /// The notification went away: expired, dismissed or closed by us.
    void closed(uint id);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& key);
    void onNotificationClosed(uint id, uint reason);

private:
    QDBusConnection bus_;
};

} // namespace tarnwick
