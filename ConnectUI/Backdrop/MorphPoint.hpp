#pragma once

namespace tarnwick {

/// One point of a figure, laid out as the vertex stage reads it: three floats at a 16-byte stride.
struct alignas(16) MorphPoint {
    float x = 0;
    float y = 0;
    float z = 0;

    friend bool operator==(const MorphPoint&, const MorphPoint&) = default;
};

static_assert(sizeof(MorphPoint) == 16, "the vertex stage reads positions at a 16-byte stride");

} // namespace tarnwick
