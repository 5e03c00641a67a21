#pragma once

namespace tarnwick {

/// The figures the backdrop's cloud can hold, in their display order.
enum class MorphShape {
    screen,
    phone,
    beam,
    sphere,
    torus,
    stack,
    wave,
    funnel,
    frames,
    framesTight,
    fan,
    fanShells,
    spiral,
    spiralTwist,
    devices,
    devicesWide,
    scatter,
    wordmark,
};

} // namespace tarnwick
