#include "ConnectUI/Brand/BrandMarkProvider.hpp"

#include "ConnectUI/Brand/BrandAssets.hpp"

namespace tarnwick {

QImage BrandMarkProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
    const int side = requestedSize.isValid() ? std::max(requestedSize.width(), requestedSize.height()) : 64;
    const QColor ink(id);
    const QImage image = BrandAssets::mark(side, ink.isValid() ? ink : QColor(Qt::white));
    *size = image.size();
    return image;
}

} // namespace tarnwick
