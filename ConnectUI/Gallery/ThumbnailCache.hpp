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
/// life of the process. A file that cannot be read as an image gets its type's icon.
class ThumbnailCache : public QObject {
    Q_OBJECT

public:
    /// Makes the picture for a file at an edge of `side` device pixels; runs on a worker thread.
    using Generator = std::function<QImage(const QString& path, int side)>;

    explicit ThumbnailCache(Generator generate = thumbnailOrIcon, QObject* parent = nullptr);

    /// The cached picture, or none yet: then one generation starts unless one runs already, and
    /// `ready(path)` tells when it is cached. Main thread. The image is null where the desktop has no
    /// icon for the file's type.
    std::optional<QImage> load(const QString& path, int side);
    /// For the views: whether there is a picture to show now.
    Q_INVOKABLE bool request(const QString& path, int side);

    /// What the cache holds for `path`; a null image when nothing. Any thread.
    QImage cached(const QString& path) const;

    /// The scaled image, or the file type's icon from the desktop's theme.
    static QImage thumbnailOrIcon(const QString& path, int side);

Q_SIGNALS:
    void ready(const QString& path);

private:
    void store(const QString& path, const QImage& image);

    Generator generate_;
    mutable QMutex mutex_;
    QHash<QString, QImage> images_;
    QSet<QString> inFlight_;
};

} // namespace tarnwick
