#include "ConnectUI/Brand/BrandAssets.hpp"

#include "ConnectUI/Brand/SVGPath.hpp"

#include <QPainter>
#include <QStringList>

#include <array>
#include <string_view>

namespace tarnwick {
namespace {

constexpr std::array<std::string_view, 4> markPaths = {
    "M12 2C6.48 2 2 6.48 2 12s4.48 10 10 10 10-4.48 10-10S17.52 2 12 2z",
    "M12 4.5c-4.14 0-7.5 3.36-7.5 7.5s3.36 7.5 7.5 7.5 7.5-3.36 7.5-7.5S16.14 4.5 12 4.5z",
    "M7 8.75h7.4l-1.7-1.7 1.06-1.06L17.3 9.5l-3.54 3.54-1.06-1.06 1.7-1.7H7z",
    "M17 15.25H9.6l1.7 1.7-1.06 1.06L6.7 14.5l3.54-3.54 1.06 1.06-1.7 1.7H17z",
};

// The badge: a disc a little larger than the mark's ring, the mark shrunk inside it so the accent shows
// as a border around the white ring.
constexpr const char* accent = "#4c8dff";
constexpr double discRadius = 11;
constexpr double markScale = 0.8;
// The tray's states: a dimmed disc when no device can connect, and a dot of their colour.
constexpr const char* blockedDisc = "#8a8f98";
constexpr const char* blockedDot = "#ffb224";
constexpr const char* transferringDot = "#3dd68c";
constexpr const char* dotRing = "#1f2a44";
constexpr double dotRadius = 4.2;
// The badge in the mark's 24-unit view box, drawn as badge() paints it.
constexpr const char* badgeSVGTemplate =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">
  <circle cx="12" cy="12" r="%1" fill="%2"/>
  <path transform="translate(12 12) scale(%3) translate(-12 -12)" fill="#ffffff" fill-rule="evenodd" d="%4"/>
</svg>
)svg";

void append(QPainterPath& path, const SVGPath& parsed) {
    for (const auto& segment : parsed.segments()) {
        switch (segment.kind) {
        case SVGPath::Segment::Kind::move:
            path.moveTo(segment.end);
            break;
        case SVGPath::Segment::Kind::line:
            path.lineTo(segment.end);
            break;
        case SVGPath::Segment::Kind::cubic:
            path.cubicTo(segment.control1, segment.control2, segment.end);
            break;
        case SVGPath::Segment::Kind::close:
            path.closeSubpath();
            break;
        }
    }
}

} // namespace

QPainterPath BrandAssets::markPath() {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const auto text : markPaths) {
        append(path, SVGPath::parse(text));
    }
    return path;
}

QImage BrandAssets::mark(int side, const QColor& ink) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / viewBox, side / viewBox);
    painter.fillPath(markPath(), ink);
    return image;
}

QImage BrandAssets::badge(int side) {
    return statusBadge(side, Status::ready);
}

QImage BrandAssets::statusBadge(int side, Status status) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / viewBox, side / viewBox);
    const QPointF centre(viewBox / 2, viewBox / 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(status == Status::blocked ? blockedDisc : accent));
    painter.drawEllipse(centre, discRadius, discRadius);
    painter.save();
    painter.translate(centre);
    painter.scale(markScale, markScale);
    painter.translate(-centre);
    painter.fillPath(markPath(), Qt::white);
    painter.restore();
    if (status != Status::ready) {
        // The dot sits on the disc's lower right, ringed in the disc's own dark so it stands apart from
        // the mark at 16 pixels.
        const QPointF dotCentre(viewBox - dotRadius - 1, viewBox - dotRadius - 1);
        painter.setBrush(QColor(dotRing));
        painter.drawEllipse(dotCentre, dotRadius + 1.2, dotRadius + 1.2);
        painter.setBrush(QColor(status == Status::blocked ? blockedDot : transferringDot));
        painter.drawEllipse(dotCentre, dotRadius, dotRadius);
    }
    return image;
}

QByteArray BrandAssets::badgeSVG() {
    QStringList data;
    for (const auto text : markPaths) {
        data << QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    }
    return QString::fromLatin1(badgeSVGTemplate)
        .arg(discRadius)
        .arg(QString::fromLatin1(accent))
        .arg(markScale)
        .arg(data.join(' '))
        .toUtf8();
}

QIcon BrandAssets::statusIcon(Status status) {
    QIcon icon;
    for (const int side : {16, 18, 22, 24, 32, 36, 44, 48, 64}) {
        icon.addPixmap(QPixmap::fromImage(statusBadge(side, status)));
    }
    return icon;
}

} // namespace tarnwick
