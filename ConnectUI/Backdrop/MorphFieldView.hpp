#pragma once

#include "ConnectUI/Backdrop/MorphConfig.hpp"
#include "ConnectUI/Backdrop/WordmarkPoints.hpp"

#include <QColor>
#include <QElapsedTimer>
#include <QQuickItem>
#include <QStringList>
#include <QTimer>

namespace tarnwick {

/// The animated point cloud behind the discovery screens, as a Qt Quick item. It draws 60 frames a
/// second while `isVisible` and 4 while not; where the scene graph does not run on a GPU it draws
/// nothing and the screen works without it.
class MorphFieldView : public QQuickItem {
    Q_OBJECT
    /// Figure names in display order; empty for the default figures.
    Q_PROPERTY(QStringList shapes READ shapes WRITE setShapes NOTIFY shapesChanged)
    Q_PROPERTY(int pointCount READ pointCount WRITE setPointCount NOTIFY pointCountChanged)
    Q_PROPERTY(QColor ink READ ink WRITE setInk NOTIFY inkChanged)
    Q_PROPERTY(qreal alpha READ alpha WRITE setAlpha NOTIFY alphaChanged)
    Q_PROPERTY(qreal pointSize READ pointSize WRITE setPointSize NOTIFY pointSizeChanged)
    /// Seconds a figure is held.
    Q_PROPERTY(qreal hold READ hold WRITE setHold NOTIFY holdChanged)
    /// Seconds a transition takes.
    Q_PROPERTY(qreal morph READ morph WRITE setMorph NOTIFY morphChanged)
    /// Radians per second the camera circles.
    Q_PROPERTY(qreal spin READ spin WRITE setSpin NOTIFY spinChanged)
    Q_PROPERTY(qreal distance READ distance WRITE setDistance NOTIFY distanceChanged)
    Q_PROPERTY(qreal eyeHeight READ eyeHeight WRITE setEyeHeight NOTIFY eyeHeightChanged)
    /// The light band sweeps through the cloud, while the application is searching.
    Q_PROPERTY(bool shimmering READ shimmering WRITE setShimmering NOTIFY shimmeringChanged)
    /// Whether the screen showing the backdrop is in view; off, it animates at a slow pace.
    Q_PROPERTY(bool isVisible READ isOnScreen WRITE setOnScreen NOTIFY isVisibleChanged)

public:
    explicit MorphFieldView(QQuickItem* parent = nullptr);

    /// Makes the view available to QML as MorphFieldView in Tarnwick.Connect 1.0.
    static void registerType();

    QStringList shapes() const;
    /// A list naming an unknown figure is refused with a warning, keeping the figures shown.
    void setShapes(const QStringList& names);
    int pointCount() const { return values_.pointCount; }
    void setPointCount(int count);
    QColor ink() const { return values_.ink; }
    void setInk(const QColor& ink);
    qreal alpha() const { return values_.alpha; }
    void setAlpha(qreal alpha);
    qreal pointSize() const { return values_.pointSize; }
    void setPointSize(qreal size);
    qreal hold() const { return values_.hold; }
    void setHold(qreal seconds);
    qreal morph() const { return values_.morph; }
    void setMorph(qreal seconds);
    qreal spin() const { return values_.spin; }
    void setSpin(qreal radiansPerSecond);
    qreal distance() const { return values_.distance; }
    void setDistance(qreal distance);
    qreal eyeHeight() const { return values_.eyeHeight; }
    void setEyeHeight(qreal height);
    bool shimmering() const { return values_.shimmering; }
    void setShimmering(bool on);
    bool isOnScreen() const { return values_.isVisible; }
    void setOnScreen(bool onScreen);

Q_SIGNALS:
    void shapesChanged();
    void pointCountChanged();
    void inkChanged();
    void alphaChanged();
    void pointSizeChanged();
    void holdChanged();
    void morphChanged();
    void spinChanged();
    void distanceChanged();
    void eyeHeightChanged();
    void shimmeringChanged();
    void isVisibleChanged();

protected:
    QSGNode* updatePaintNode(QSGNode* oldNode, UpdatePaintNodeData* data) override;
    void itemChange(ItemChange change, const ItemChangeData& value) override;

private:
    template <typename Value>
    void assign(Value& field, const Value& value, void (MorphFieldView::*changed)());
    void pace();
    void prepareWordmark();

    MorphConfig::ViewValues values_;
    /// Drawn here, on the view's thread, before the renderer asks for it.
    WordmarkPoints wordmark_;
    QElapsedTimer clock_;
    QTimer slowFrames_;
    QMetaObject::Connection everyFrame_;
};

} // namespace tarnwick
