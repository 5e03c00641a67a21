#pragma once

#include <QByteArray>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainterPath>

namespace tarnwick {

/// The brand mark: a ring around two passing arrows, kept as vector path data in a 24-unit square.
class BrandAssets {
public:
    static constexpr double viewBox = 24;

    /// What the tray icon tells at a glance.
    enum class Status {
        /// Listening for devices: the plain badge.
        ready,
        /// Not accepting connections: a grey badge with an amber dot.
        blocked,
        /// Files are being sent: the badge with a green dot.
        transferring,
    };

    /// The mark's outline, odd-even filled, in view-box units.
    static QPainterPath markPath();

    /// The mark in one colour, `side` pixels square, on a transparent ground.
    static QImage mark(int side, const QColor& ink);

    /// The application's icon, `side` pixels square: the mark in white on a disc of the accent colour,
    /// which reads on light and dark panels alike.
    static QImage badge(int side);

    /// The same icon as an SVG document, for the icon theme's scalable folder.
    static QByteArray badgeSVG();

    /// The badge as the tray shows it in `status`.
    static QImage statusBadge(int side, Status status);

    /// The tray icon: the badge, since Linux trays show an icon as drawn instead of tinting a mask.
    static QIcon statusIcon(Status status = Status::ready);
};

} // namespace tarnwick
