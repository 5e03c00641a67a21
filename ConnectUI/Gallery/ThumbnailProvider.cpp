#include "ConnectUI/Gallery/ThumbnailProvider.hpp"

#include <QUrl>

namespace tarnwick {

QImage ThumbnailProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
    QImage image = cache_.cached(QUrl::fromPercentEncoding(id.toUtf8()));
    if (requestedSize.isValid() && !image.isNull()) {
        image = image.scaled(requestedSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    *size = image.size();
    return image;
}

} // namespace tarnwick
