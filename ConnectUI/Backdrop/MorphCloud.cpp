#include "ConnectUI/Backdrop/MorphCloud.hpp"

#include "ConnectUI/Backdrop/MorphGeometry.hpp"
#include "ConnectUI/Backdrop/MorphRandom.hpp"
#include "ConnectUI/Backdrop/WordmarkPoints.hpp"

#include <algorithm>

namespace tarnwick {

std::vector<MorphShape> MorphCloud::defaultShapes() {
    return {MorphShape::devices, MorphShape::devicesWide};
}

MorphCloud::MorphCloud(std::vector<MorphShape> shapes, std::size_t pointCount)
    : shapes_(shapes.empty() ? defaultShapes() : std::move(shapes)) {
    const std::size_t count = std::max(pointCount, minimumPointCount);
    randoms_.reserve(count);
    seeds_.reserve(count);
    // One generator for the whole cloud, in point order: three randoms, then the size seed.
    MorphRandom random(seed);
    for (std::size_t i = 0; i < count; ++i) {
        const float a = random.next();
        const float b = random.next();
        const float c = random.next();
        randoms_.push_back({a, b, c});
        seeds_.push_back(random.next());
    }
}

std::vector<MorphPoint> MorphCloud::figure(std::size_t step, WordmarkPoints& wordmark) const {
    const MorphShape shape = shapes_[step % shapes_.size()];
    if (shape == MorphShape::wordmark) {
        const std::vector<MorphPoint>& word = wordmark.positions(randoms_.size(), wordmarkText.toString());
        if (!word.empty()) {
            return word;
        }
    }
    std::vector<MorphPoint> points;
    points.reserve(randoms_.size());
    for (std::size_t i = 0; i < randoms_.size(); ++i) {
        points.push_back(MorphGeometry::position(shape, i, randoms_.size(), randoms_[i]));
    }
    return points;
}

} // namespace tarnwick
