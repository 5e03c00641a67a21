#pragma once

#include "ConnectUI/Backdrop/MorphPoint.hpp"

#include <QImage>
#include <QString>

#include <cstddef>
#include <map>
#include <utility>
#include <vector>

namespace tarnwick {

/// The wordmark figure: a word drawn in the system font, its lit pixels spread over the cloud's points.
/// Results are kept per point count and text, since drawing the text is the costly part. Needs a
/// QGuiApplication for the fonts; main thread only.
class WordmarkPoints {
public:
    /// The points for `count` points spelling `text`; empty when the text draws no pixel.
    const std::vector<MorphPoint>& positions(std::size_t count, const QString& text);

    /// The text in white, semibold at 220 pixels, centred on a black 1400 × 360 greyscale bitmap.
    static QImage render(const QString& text);

    /// `count` points spread evenly through the bitmap's lit pixels in row order, centred on the lit
    /// area and scaled to fit 3.9 × 1.1, each jittered within its pixel and given a little depth.
    static std::vector<MorphPoint> spread(const QImage& bitmap, std::size_t count);

private:
    std::map<std::pair<std::size_t, QString>, std::vector<MorphPoint>> cache_;
};

} // namespace tarnwick
