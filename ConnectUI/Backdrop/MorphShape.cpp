#include "ConnectUI/Backdrop/MorphShape.hpp"

#include <algorithm>
#include <array>
#include <iterator>

namespace tarnwick {
namespace {

// In enumerator order.
constexpr std::array<std::string_view, 18> names{
    "screen", "phone",       "beam",    "sphere",      "torus",   "stack",
    "wave",   "funnel",      "frames",  "framesTight", "fan",     "fanShells",
    "spiral", "spiralTwist", "devices", "devicesWide", "scatter", "wordmark",
};
static_assert(names.size() == static_cast<std::size_t>(MorphShape::wordmark) + 1);

} // namespace

std::string_view morphShapeName(MorphShape shape) {
    return names[static_cast<std::size_t>(shape)];
}

std::optional<MorphShape> morphShapeNamed(std::string_view name) {
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end()) {
        return std::nullopt;
    }
    return static_cast<MorphShape>(std::distance(names.begin(), found));
}

} // namespace tarnwick
