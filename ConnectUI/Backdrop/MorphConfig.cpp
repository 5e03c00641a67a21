#include "ConnectUI/Backdrop/MorphConfig.hpp"

#include "ConnectUI/Backdrop/MorphCloud.hpp"

#include <algorithm>

namespace tarnwick {
namespace {

std::array<float, 3> srgb(const QColor& colour) {
    if (!colour.isValid()) {
        return {1, 1, 1};
    }
    const QColor rgb = colour.toRgb();
    return {static_cast<float>(rgb.redF()), static_cast<float>(rgb.greenF()),
            static_cast<float>(rgb.blueF())};
}

} // namespace

MorphConfig MorphConfig::derive(const ViewValues& values) {
    const auto requested = static_cast<std::size_t>(std::max(values.pointCount, 0));
    return {
        .shapes = values.shapes.empty() ? MorphCloud::defaultShapes() : values.shapes,
        .pointCount = std::clamp(requested, MorphCloud::minimumPointCount, maximumPointCount),
        .ink = srgb(values.ink),
        .alpha = static_cast<float>(values.alpha),
        .pointSize = static_cast<float>(values.pointSize),
        .hold = values.hold,
        .morph = values.morph,
        .spin = values.spin,
        .distance = values.distance,
        .eyeHeight = values.eyeHeight,
        .shimmering = values.shimmering,
        .isVisible = values.isVisible,
    };
}

} // namespace tarnwick
