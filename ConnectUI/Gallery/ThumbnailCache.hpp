#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

namespace tarnwick {

/// Thumbnails of sent and received files, made once per file off the main thread and kept for the
/// life of the process. A file that cannot be read as an image gets its type's icon. The lightbox's
/// previews are entries of their own, at screen size: a tile's small picture scaled up is blurry.
class ThumbnailCache : public QObject {
    Q_OBJECT

public:
    /// Makes the picture for a file at an edge of `side` device pixels; runs on a worker thread.
    using Generator = std::function<QImage(const QString& path, int side)>;

    explicit ThumbnailCache(Generator generate = thumbnailOrIcon, Generator preview = previewImage,
                            QObject* parent = nullptr);

    /// The cached picture, or none yet: then one generation starts unless one runs already, and
    /// `ready(key)` tells when it is cached. Main thread. The image is null where the desktop has no
    /// icon for the file's type, and for a preview of a file that is no readable image.
    std::optional<QImage> load(const QString& path, int side, bool preview = false);
    /// For the views: "ready" when there is a picture to show now, "loading" while it is made, "none"
    /// when there is nothing to show.
    Q_INVOKABLE QString status(const QString& path, int side, bool preview = false);

    /// What the cache holds under `key`; a null image when nothing. Any thread.
    QImage cached(const QString& key) const;
    /// The entry of a file's thumbnail or preview.
    Q_INVOKABLE static QString keyFor(const QString& path, bool preview);

    /// The scaled image, or the file type's icon from the desktop's theme.
    static QImage thumbnailOrIcon(const QString& path, int side);
    /// The image fitted inside `side` × `side` and never enlarged; null when the file reads as no image.
    static QImage previewImage(const QString& path, int side);

Q_SIGNALS:
    void ready(const QString& key);

private:
    void store(const QString& key, const QImage& image);

    Generator generate_;
    Generator preview_;
    mutable QMutex mutex_;
    QHash<QString, QImage> images_;
    QSet<QString> inFlight_;
};

} // namespace tarnwick
