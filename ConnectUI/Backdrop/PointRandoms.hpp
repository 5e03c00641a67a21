#pragma once

namespace tarnwick {

/// One point's three fixed fractions in [0, 1). Every figure places a point from its own randoms, so a
/// point keeps its identity while the figure changes.
struct PointRandoms {
    float a = 0;
    float b = 0;
    float c = 0;
};

} // namespace tarnwick
