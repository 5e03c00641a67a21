#pragma once

#include "ConnectUI/Gallery/ThumbnailCache.hpp"

#include <QQuickImageProvider>

namespace tarnwick {

/// Hands the views what the thumbnail cache holds: "image://thumbnail/<file path>".
class ThumbnailProvider : public QQuickImageProvider {
public:
    explicit ThumbnailProvider(const ThumbnailCache& cache)
        : QQuickImageProvider(QQuickImageProvider::Image),
          cache_(cache) {}

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

private:
    const ThumbnailCache& cache_;
};

} // namespace tarnwick
