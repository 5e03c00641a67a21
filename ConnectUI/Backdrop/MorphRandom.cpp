#include "ConnectUI/Backdrop/MorphRandom.hpp"

#include <algorithm>
#include <cmath>

namespace tarnwick {

float MorphRandom::next() {
    state_ = state_ * 1664525u + 1013904223u;
    // States within 128 of 2^32 round up to 1.0f; the figures index grids by floor(n × value), so the
    // value must stay below one.
    const float value = static_cast<float>(state_) * 0x1p-32f;
    return std::min(value, std::nextafter(1.0f, 0.0f));
}

} // namespace tarnwick
