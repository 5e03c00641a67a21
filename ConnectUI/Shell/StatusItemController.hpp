#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

class QQuickWindow;

namespace tarnwick {

/// The tray icon and the panel it opens. A click toggles the panel beside the icon; the icon's menu
/// reaches the window and quits, for desktops whose tray only shows menus.
class StatusItemController : public QObject {
    Q_OBJECT

public:
    StatusItemController(QQuickWindow& popover, QObject* parent = nullptr);

    /// Whether the desktop shows tray icons at all.
    static bool isAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

    void togglePopover();
    /// Shows the panel unless it shows already, and gives it the focus.
    void presentIfNeeded();

Q_SIGNALS:
    void openWindowRequested(const QString& tab);

private:
    void show();

    QPointer<QQuickWindow> popover_;
    QSystemTrayIcon statusItem_;
    QMenu menu_;
};

} // namespace tarnwick
