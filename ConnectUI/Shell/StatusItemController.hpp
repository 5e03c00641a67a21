#pragma once

#include "ConnectUI/Brand/BrandAssets.hpp"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

class QQuickWindow;

namespace tarnwick {

class AppState;

/// The tray icon and the panel it opens. A click toggles the panel beside the icon; the icon's menu
/// reaches the window and quits, for desktops whose tray only shows menus.
class StatusItemController : public QObject {
    Q_OBJECT

public:
    StatusItemController(QQuickWindow& popover, QObject* parent = nullptr);

    /// Whether the desktop shows tray icons at all.
    static bool isAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

    /// What the icon shows for the state: blocked while no device can connect, transferring while
    /// files are being sent, else ready.
    static BrandAssets::Status statusOf(const AppState& state);
    /// Shows the status in the icon and its tooltip.
    void showStatus(BrandAssets::Status status);

    void togglePopover();
    /// Shows the panel unless it shows already, and gives it the focus.
    void presentIfNeeded();

Q_SIGNALS:
    void openWindowRequested(const QString& tab);

private:
    void show();

    QPointer<QQuickWindow> popover_;
    BrandAssets::Status status_ = BrandAssets::Status::ready;
    QSystemTrayIcon statusItem_;
    QMenu menu_;
};

} // namespace tarnwick
