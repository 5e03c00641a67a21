#pragma once

#include <QQuickImageProvider>

namespace tarnwick {

/// The mark for the views, in the colour the address names: "image://brand/<colour>".
class BrandMarkProvider : public QQuickImageProvider {
public:
    BrandMarkProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};

} // namespace tarnwick
