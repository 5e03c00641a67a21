#include "ConnectUI/Backdrop/MorphSequence.hpp"

#include <algorithm>
#include <cmath>

namespace tarnwick {

// A morph of at least a millisecond keeps the cycle count and the progress finite.
MorphSequence::MorphSequence(double hold, double morph)
    : hold_(std::max(hold, 0.0)),
      morph_(std::max(morph, 0.001)) {}

std::int64_t MorphSequence::cycleAt(double elapsed) const {
    return static_cast<std::int64_t>(std::floor(elapsed / (hold_ + morph_)));
}

std::optional<std::size_t> MorphSequence::advance(double elapsed) {
    const std::int64_t cycle = cycleAt(elapsed);
    if (!cycle_) {
        cycle_ = cycle;
        return std::nullopt;
    }
    if (*cycle_ == cycle) {
        return std::nullopt;
    }
    cycle_ = cycle;
    ++figureStep_;
    return figureStep_ + 1;
}

float MorphSequence::progress(double elapsed) const {
    const double intoCycle = elapsed - (hold_ + morph_) * static_cast<double>(cycleAt(elapsed));
    const double p = std::clamp((intoCycle - hold_) / morph_, 0.0, 1.0);
    return static_cast<float>(p * p * (3 - 2 * p));
}

} // namespace tarnwick
