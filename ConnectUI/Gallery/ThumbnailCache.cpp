#include "ConnectUI/Gallery/ThumbnailCache.hpp"

#include <QIcon>
#include <QImageReader>
#include <QMimeDatabase>
#include <QMutexLocker>
#include <QPointer>
#include <QThreadPool>

namespace tarnwick {

ThumbnailCache::ThumbnailCache(Generator generate, QObject* parent)
    : QObject(parent),
      generate_(std::move(generate)) {}

bool ThumbnailCache::request(const QString& path, int side) {
    const auto image = load(path, side);
    return image && !image->isNull();
}

std::optional<QImage> ThumbnailCache::load(const QString& path, int side) {
    {
        QMutexLocker lock(&mutex_);
        if (const auto found = images_.constFind(path); found != images_.constEnd()) {
            return *found;
        }
    }
    if (inFlight_.contains(path)) {
        return std::nullopt;
    }
    inFlight_.insert(path);
    QThreadPool::globalInstance()->start([self = QPointer(this), generate = generate_, path, side] {
        QImage image = generate(path, side);
        QMetaObject::invokeMethod(
            self, [self, path, image = std::move(image)] { self->store(path, image); }, Qt::QueuedConnection);
    });
    return std::nullopt;
}

QImage ThumbnailCache::cached(const QString& path) const {
    QMutexLocker lock(&mutex_);
    return images_.value(path);
}

void ThumbnailCache::store(const QString& path, const QImage& image) {
    {
        QMutexLocker lock(&mutex_);
        images_.insert(path, image);
    }
    inFlight_.remove(path);
    Q_EMIT ready(path);
}

QImage ThumbnailCache::thumbnailOrIcon(const QString& path, int side) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (reader.canRead()) {
        const QSize natural = reader.size();
        if (natural.isValid()) {
            reader.setScaledSize(natural.scaled(side, side, Qt::KeepAspectRatioByExpanding));
        }
        if (QImage image = reader.read(); !image.isNull()) {
            return image;
        }
    }
    // A moved, deleted or non-image file shows what kind of file it was.
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    const QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    return icon.pixmap(side, side).toImage();
}

} // namespace tarnwick
