#include "ConnectUI/Shell/StatusItemController.hpp"

#include "ConnectUI/AppState/AppState.hpp"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QScreen>

#include <algorithm>

namespace tarnwick {
namespace {

/// Where the panel goes: centred under (or over) the icon, kept `margin` inside the screen's free area.
QPoint panelOrigin(const QRect& anchor, const QSize& panel, const QRect& available) {
    constexpr int margin = 8;
    const int x = std::clamp(anchor.center().x() - panel.width() / 2, available.left() + margin,
                             std::max(available.left() + margin, available.right() - panel.width() - margin));
    const bool below = anchor.center().y() < available.center().y();
    const int y =
        below ? std::max(anchor.bottom() + 4, available.top() + margin)
              : std::min(anchor.top() - 4 - panel.height(), available.bottom() - panel.height() - margin);
    return {x, y};
}

} // namespace

StatusItemController::StatusItemController(QQuickWindow& popover, QObject* parent)
    : QObject(parent),
      popover_(&popover),
      statusItem_(BrandAssets::statusIcon()) {
    statusItem_.setToolTip("Tarnwick Connect");
    QObject::connect(&statusItem_, &QSystemTrayIcon::activated, this,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger) {
                             togglePopover();
                         }
                     });
    menu_.addAction("Open Window", this, [this] { Q_EMIT openWindowRequested("connect"); });
    menu_.addAction("Settings…", this, [this] { Q_EMIT openWindowRequested("settings"); });
    menu_.addSeparator();
    menu_.addAction("Quit", this, [] { QCoreApplication::quit(); });
    statusItem_.setContextMenu(&menu_);
    statusItem_.show();
}

BrandAssets::Status StatusItemController::statusOf(const AppState& state) {
    if (state.availability().state == Availability::Case::blocked) {
        return BrandAssets::Status::blocked;
    }
    return state.activeTransfers().empty() ? BrandAssets::Status::ready : BrandAssets::Status::transferring;
}

void StatusItemController::showStatus(BrandAssets::Status status) {
    if (status == status_) {
        return;
    }
    status_ = status;
    statusItem_.setIcon(BrandAssets::statusIcon(status));
    switch (status) {
    case BrandAssets::Status::ready:
        statusItem_.setToolTip("Tarnwick Connect");
        break;
    case BrandAssets::Status::blocked:
        statusItem_.setToolTip("Tarnwick Connect: can't accept connections");
        break;
    case BrandAssets::Status::transferring:
        statusItem_.setToolTip("Tarnwick Connect: sending files");
        break;
    }
}

void StatusItemController::togglePopover() {
    if (popover_ && popover_->isVisible()) {
        popover_->close();
    } else {
        show();
    }
}

void StatusItemController::presentIfNeeded() {
    if (popover_ && !popover_->isVisible()) {
        show();
    }
}

void StatusItemController::show() {
    if (!popover_) {
        return;
    }
    QRect anchor = statusItem_.geometry();
    if (anchor.isEmpty()) {
        anchor = QRect(QCursor::pos(), QSize(1, 1));
    }
    QScreen* screen = QGuiApplication::screenAt(anchor.center());
    screen = screen ? screen : QGuiApplication::primaryScreen();
    if (screen) {
        popover_->setPosition(panelOrigin(anchor, popover_->size(), screen->availableGeometry()));
    }
    popover_->show();
    popover_->raise();
    popover_->requestActivate();
}

} // namespace tarnwick
