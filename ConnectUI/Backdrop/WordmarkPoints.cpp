#include "ConnectUI/Backdrop/WordmarkPoints.hpp"

#include "ConnectUI/Backdrop/MorphRandom.hpp"

#include <QFontDatabase>
#include <QPainter>

#include <algorithm>
#include <limits>

namespace tarnwick {
namespace {

struct LitPixel {
    int column;
    int row;
};

// The lit pixels in row order and the bounds they span.
struct LitArea {
    std::vector<LitPixel> pixels;
    int left = std::numeric_limits<int>::max();
    int right = 0;
    int top = std::numeric_limits<int>::max();
    int bottom = 0;
};

// Half brightness or more counts as lit, so the antialiased fringe does not blur the letters.
LitArea litArea(const QImage& bitmap) {
    const QImage grey = bitmap.convertToFormat(QImage::Format_Grayscale8);
    LitArea area;
    for (int row = 0; row < grey.height(); ++row) {
        const uchar* line = grey.constScanLine(row);
        for (int column = 0; column < grey.width(); ++column) {
            if (line[column] >= 129) {
                area.pixels.push_back({column, row});
                area.left = std::min(area.left, column);
                area.right = std::max(area.right, column);
                area.top = std::min(area.top, row);
                area.bottom = row;
            }
        }
    }
    return area;
}

} // namespace

const std::vector<MorphPoint>& WordmarkPoints::positions(std::size_t count, const QString& text) {
    const auto key = std::make_pair(count, text);
    auto found = cache_.find(key);
    if (found == cache_.end()) {
        found = cache_.emplace(key, spread(render(text), count)).first;
    }
    return found->second;
}

QImage WordmarkPoints::render(const QString& text) {
    QImage bitmap(1400, 360, QImage::Format_Grayscale8);
    bitmap.fill(Qt::black);
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // One point per pixel, as on a bitmap with no scaling.
    font.setPixelSize(220);
    font.setWeight(QFont::DemiBold);
    QPainter painter(&bitmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(bitmap.rect(), Qt::AlignCenter, text);
    return bitmap;
}

std::vector<MorphPoint> WordmarkPoints::spread(const QImage& bitmap, std::size_t count) {
    const LitArea area = litArea(bitmap);
    const std::vector<LitPixel>& lit = area.pixels;
    if (lit.empty()) {
        return {};
    }
    const float cx = static_cast<float>(area.left + area.right) / 2;
    const float cy = static_cast<float>(area.top + area.bottom) / 2;
    const float s = std::min(3.9f / static_cast<float>(std::max(1, area.right - area.left)),
                             1.1f / static_cast<float>(std::max(1, area.bottom - area.top)));
    MorphRandom random(90210);
    std::vector<MorphPoint> points;
    points.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        const LitPixel& pixel = lit[std::min(lit.size() - 1, k * lit.size() / count)];
        const float r1 = random.next();
        const float r2 = random.next();
        const float r3 = random.next();
        points.push_back({s * (static_cast<float>(pixel.column) + r1 - cx),
                          s * (cy - static_cast<float>(pixel.row) - r2), 0.16f * (r3 - 0.5f)});
    }
    return points;
}

} // namespace tarnwick
