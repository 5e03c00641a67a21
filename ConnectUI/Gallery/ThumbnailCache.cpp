#include "ConnectUI/Gallery/ThumbnailCache.hpp"

#include <QIcon>
#include <QImageReader>
#include <QMimeDatabase>
#include <QMutexLocker>
#include <QPointer>
#include <QThreadPool>

namespace tarnwick {

ThumbnailCache::ThumbnailCache(Generator generate, Generator preview, QObject* parent)
    : QObject(parent),
      generate_(std::move(generate)),
      preview_(std::move(preview)) {}

QString ThumbnailCache::keyFor(const QString& path, bool preview) {
    return preview ? "preview/" + path : path;
}

QString ThumbnailCache::status(const QString& path, int side, bool preview) {
    const auto image = load(path, side, preview);
    if (!image) {
        return "loading";
    }
    return image->isNull() ? "none" : "ready";
}

std::optional<QImage> ThumbnailCache::load(const QString& path, int side, bool preview) {
    const QString key = keyFor(path, preview);
    {
        QMutexLocker lock(&mutex_);
        if (const auto found = images_.constFind(key); found != images_.constEnd()) {
            return *found;
        }
    }
    if (inFlight_.contains(key)) {
        return std::nullopt;
    }
    inFlight_.insert(key);
    QThreadPool::globalInstance()->start([self = QPointer(this), generate = preview ? preview_ : generate_,
                                          path, key, side] {
        QImage image = generate(path, side);
        QMetaObject::invokeMethod(
            self, [self, key, image = std::move(image)] { self->store(key, image); }, Qt::QueuedConnection);
    });
    return std::nullopt;
}

QImage ThumbnailCache::cached(const QString& key) const {
    QMutexLocker lock(&mutex_);
    return images_.value(key);
}

void ThumbnailCache::store(const QString& key, const QImage& image) {
    {
        QMutexLocker lock(&mutex_);
        images_.insert(key, image);
    }
    inFlight_.remove(key);
    Q_EMIT ready(key);
}

QImage ThumbnailCache::previewImage(const QString& path, int side) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize natural = reader.size();
    if (natural.isValid() && (natural.width() > side || natural.height() > side)) {
        reader.setScaledSize(natural.scaled(side, side, Qt::KeepAspectRatio));
    }
    return reader.read();
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
