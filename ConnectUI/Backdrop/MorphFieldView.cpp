#include "ConnectUI/Backdrop/MorphFieldView.hpp"

#include "ConnectUI/Backdrop/MorphCloud.hpp"
#include "ConnectUI/Backdrop/MorphMaterial.hpp"
#include "ConnectUI/Backdrop/MorphRenderer.hpp"

#include <QQmlEngine>
#include <QQmlInfo>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <algorithm>
#include <chrono>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// The pace while the backdrop is out of view: slow, but it does not stop.
constexpr auto slowFrameInterval = 250ms;

bool drawsOnGPU(const QQuickWindow& window) {
    return QSGRendererInterface::isApiRhiBased(window.rendererInterface()->graphicsApi()) &&
           MorphMaterial::shadersAvailable();
}

} // namespace

MorphFieldView::MorphFieldView(QQuickItem* parent) : QQuickItem(parent) {
    setFlag(ItemHasContents);
    clock_.start();
    slowFrames_.setInterval(slowFrameInterval);
    connect(&slowFrames_, &QTimer::timeout, this, &QQuickItem::update);
    // Made inside a window's item tree, this view saw its window arrive before it could hear of it.
    pace();
}

void MorphFieldView::registerType() {
    qmlRegisterType<MorphFieldView>("Tarnwick.Connect", 1, 0, "MorphFieldView");
}

template <typename Value>
void MorphFieldView::assign(Value& field, const Value& value, void (MorphFieldView::*changed)()) {
    if (field == value) {
        return;
    }
    field = value;
    update();
    Q_EMIT(this->*changed)();
}

QStringList MorphFieldView::shapes() const {
    QStringList names;
    for (const MorphShape shape : values_.shapes) {
        names.append(QString::fromUtf8(morphShapeName(shape)));
    }
    return names;
}

void MorphFieldView::setShapes(const QStringList& names) {
    std::vector<MorphShape> shapes;
    for (const QString& name : names) {
        const std::optional<MorphShape> shape = morphShapeNamed(name.toStdString());
        if (!shape) {
            qmlWarning(this) << "no figure is named " << name << "; the figures stay as they were";
            return;
        }
        shapes.push_back(*shape);
    }
    assign(values_.shapes, shapes, &MorphFieldView::shapesChanged);
    prepareWordmark();
}

void MorphFieldView::setPointCount(int count) {
    assign(values_.pointCount, count, &MorphFieldView::pointCountChanged);
    prepareWordmark();
}

void MorphFieldView::setInk(const QColor& ink) {
    assign(values_.ink, ink, &MorphFieldView::inkChanged);
}

void MorphFieldView::setAlpha(qreal alpha) {
    assign(values_.alpha, alpha, &MorphFieldView::alphaChanged);
}

void MorphFieldView::setPointSize(qreal size) {
    assign(values_.pointSize, size, &MorphFieldView::pointSizeChanged);
}

void MorphFieldView::setHold(qreal seconds) {
    assign(values_.hold, seconds, &MorphFieldView::holdChanged);
}

void MorphFieldView::setMorph(qreal seconds) {
    assign(values_.morph, seconds, &MorphFieldView::morphChanged);
}

void MorphFieldView::setSpin(qreal radiansPerSecond) {
    assign(values_.spin, radiansPerSecond, &MorphFieldView::spinChanged);
}

void MorphFieldView::setDistance(qreal distance) {
    assign(values_.distance, distance, &MorphFieldView::distanceChanged);
}

void MorphFieldView::setEyeHeight(qreal height) {
    assign(values_.eyeHeight, height, &MorphFieldView::eyeHeightChanged);
}

void MorphFieldView::setShimmering(bool on) {
    assign(values_.shimmering, on, &MorphFieldView::shimmeringChanged);
}

void MorphFieldView::setOnScreen(bool onScreen) {
    assign(values_.isVisible, onScreen, &MorphFieldView::isVisibleChanged);
    pace();
}

// The renderer reads the word on the render thread while this thread waits; drawing text belongs here.
void MorphFieldView::prepareWordmark() {
    if (std::find(values_.shapes.begin(), values_.shapes.end(), MorphShape::wordmark) !=
        values_.shapes.end()) {
        wordmark_.positions(MorphConfig::derive(values_).pointCount, MorphCloud::wordmarkText.toString());
    }
}

// In view, a new frame is asked for as soon as one is shown, which the window paces to the display;
// out of view, a timer asks four times a second.
void MorphFieldView::pace() {
    disconnect(everyFrame_);
    slowFrames_.stop();
    if (window() == nullptr) {
        return;
    }
    if (values_.isVisible) {
        everyFrame_ = connect(window(), &QQuickWindow::frameSwapped, this, &QQuickItem::update);
    } else {
        slowFrames_.start();
    }
    update();
}

void MorphFieldView::itemChange(ItemChange change, const ItemChangeData& value) {
    QQuickItem::itemChange(change, value);
    if (change == ItemSceneChange) {
        pace();
    }
}

QSGNode* MorphFieldView::updatePaintNode(QSGNode* oldNode, UpdatePaintNodeData*) {
    auto* renderer = static_cast<MorphRenderer*>(oldNode);
    if (!drawsOnGPU(*window())) {
        delete renderer;
        return nullptr;
    }
    if (renderer == nullptr) {
        renderer = new MorphRenderer;
    }
    const double now = static_cast<double>(clock_.nsecsElapsed()) * 1e-9;
    renderer->configure(MorphConfig::derive(values_), wordmark_, now);
    renderer->prepareFrame(now, size(), window()->effectiveDevicePixelRatio(), wordmark_);
    return renderer;
}

} // namespace tarnwick
