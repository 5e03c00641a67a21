#pragma once

#include "ConnectUI/Backdrop/MorphPoint.hpp"
#include "ConnectUI/Backdrop/MorphShape.hpp"
#include "ConnectUI/Backdrop/PointRandoms.hpp"

#include <cstddef>

namespace tarnwick {

/// Where each figure puts a point, from the point's index, the point count and its randoms.
class MorphGeometry {
public:
    /// The point with the given index among `count`. The wordmark's true points come from the rendered
    /// text; its position here is the scatter it grows out of.
    static MorphPoint position(MorphShape shape, std::size_t index, std::size_t count,
                               const PointRandoms& randoms);

    /// The point at fraction `u` along the outline of a rectangle with half-width `w` and half-height
    /// `h`, starting at the bottom-left corner and going anticlockwise; z is zero.
    static MorphPoint rim(float u, float w, float h);
};

} // namespace tarnwick
