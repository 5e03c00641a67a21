#pragma once

#include <QObject>

namespace tarnwick {

/// The preview's zoom: a pinch scales from the zoom the last gesture ended at, within 1× to 6×; a
/// double click toggles between 1× and 2×.
class LightboxZoom : public QObject {
    Q_OBJECT
    Q_PROPERTY(double scale READ scale NOTIFY scaleChanged)

public:
    static constexpr double minimum = 1;
    static constexpr double maximum = 6;

    using QObject::QObject;

    double scale() const { return scale_; }

    /// During a pinch: `magnification` relative to the gesture's start.
    Q_INVOKABLE void pinch(double magnification);
    Q_INVOKABLE void endPinch() { committed_ = scale_; }
    Q_INVOKABLE void toggle();

Q_SIGNALS:
    void scaleChanged();

private:
    void setScale(double scale);

    double scale_ = minimum;
    double committed_ = minimum;
};

} // namespace tarnwick
