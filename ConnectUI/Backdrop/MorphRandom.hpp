#pragma once

#include <cstdint>

namespace tarnwick {

/// The backdrop's 32-bit linear congruential generator: the same seed gives the same cloud on every
/// run and every machine.
class MorphRandom {
public:
    explicit MorphRandom(std::uint32_t seed) : state_(seed) {}

    /// Advances the state and returns it as a fraction in [0, 1).
    float next();

private:
    std::uint32_t state_;
};

} // namespace tarnwick
