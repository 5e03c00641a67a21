#pragma once

#include <optional>
#include <string_view>

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

/// The figure's name, which screens use to list figures: the enumerator's own name.
std::string_view morphShapeName(MorphShape shape);

/// The figure with the given name; none for a name no figure has.
std::optional<MorphShape> morphShapeNamed(std::string_view name);

} // namespace tarnwick
