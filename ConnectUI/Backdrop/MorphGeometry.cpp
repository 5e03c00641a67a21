#include "ConnectUI/Backdrop/MorphGeometry.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarnwick {
namespace {

constexpr float pi = std::numbers::pi_v<float>;

// A one-point cloud sits at the start of the index-swept figures rather than dividing by zero.
float sweep(std::size_t index, std::size_t count) {
    return count > 1 ? static_cast<float>(index) / static_cast<float>(count - 1) : 0.0f;
}

MorphPoint rotated(MorphPoint point, float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return {point.x * c - point.y * s, point.x * s + point.y * c, point.z};
}

// Grid lines: each point lies on a row or a column, as its c chooses.
MorphPoint grid(const PointRandoms& r, float rowShare, int columns, int rows, MorphPoint halfSize) {
    float a = r.a;
    float b = r.b;
    if (r.c >= rowShare) {
        b = std::floor(rows * b) / static_cast<float>(rows - 1);
    } else {
        a = std::floor(columns * a) / static_cast<float>(columns - 1);
    }
    return {halfSize.x * (2 * a - 1), halfSize.y * (2 * b - 1), 0};
}

MorphPoint screen(const PointRandoms& r) {
    return grid(r, 0.5f, 11, 7, {1.75f, 1.1f, 0});
}

MorphPoint phone(const PointRandoms& r) {
    return grid(r, 0.45f, 5, 13, {0.52f, 1.12f, 0});
}

MorphPoint beam(float t, const PointRandoms& r) {
    const float theta = pi * t;
    const float w = 0.03f + 0.62f * std::sin(theta);
    const float phi = 9 * theta + 0.35f * r.a;
    return {3.9f * (t - 0.5f), 0.9f * w * std::cos(phi), w * std::sin(phi)};
}

MorphPoint sphere(std::size_t index, float t) {
    const float y = 1 - 2 * t;
    const float rho = std::sqrt(std::max(0.0f, 1 - y * y));
    const float phi = 2.399963f * static_cast<float>(index);
    return {1.25f * rho * std::cos(phi), 1.25f * y, 1.25f * rho * std::sin(phi)};
}

MorphPoint torus(std::size_t index, std::size_t count, const PointRandoms& r) {
    const float u = std::fmod(2 * pi * 7 * static_cast<float>(index) / static_cast<float>(count), 2 * pi);
    const float v = 2 * pi * r.a;
    const float rho = 1.32f + 0.3f * std::cos(v);
    return {rho * std::cos(u), 0.3f * std::sin(v), rho * std::sin(u)};
}

MorphPoint stack(const PointRandoms& r) {
    const float m = std::floor(9 * r.c) * 0.125f - 0.5f;
    const float w = 1.5f - 0.6f * std::abs(m);
    const float y = 1.9f * m;
    const float q = 4 * r.a;
    const float k = std::min(std::floor(q), 3.0f);
    const float f = (2 * (q - k) - 1) * w;
    switch (static_cast<int>(k)) {
    case 0:
        return {f, y, -w};
    case 1:
        return {w, y, f};
    case 2:
        return {-f, y, w};
    default:
        return {-w, y, -f};
    }
}

MorphPoint wave(const PointRandoms& r) {
    const float x = 3.4f * (std::floor(34 * r.a) / 33 - 0.5f);
    const float z = 3.4f * (std::floor(34 * r.b) / 33 - 0.5f);
    const float distance = std::sqrt(x * x + z * z);
    return {x, 0.42f * std::cos(2.1f * distance) * std::exp(-0.35f * distance), z};
}

MorphPoint funnel(const PointRandoms& r) {
    const float rho = 1.5f * r.a + 0.12f;
    const float phi = 2 * pi * r.b;
    return {rho * std::cos(phi), 1.8f * (r.a - 0.55f), rho * std::sin(phi)};
}

// A row of receding picture frames; `spread` and `depth` set how far apart they stand and `tilt` how
// much each turns.
MorphPoint frames(const PointRandoms& r, float spread, float depth, float tilt) {
    const float s = std::floor(12 * r.c) / 11;
    const MorphPoint outline =
        rotated(MorphGeometry::rim(r.a, 0.95f - 0.3f * s, 0.58f - 0.17f * s), tilt * s);
    return {spread * (s - 0.5f) + outline.x, 1.15f * (0.5f - s) + outline.y, depth * (s - 0.5f)};
}

MorphPoint fanPoint(float radius, float angle, float z) {
    return {radius * std::cos(angle) - 1.75f, 0.78f * radius * std::sin(angle), z};
}

MorphPoint fan(const PointRandoms& r) {
    const float phi = 1.16f * std::floor(15 * r.a) / 14 - 0.58f;
    return fanPoint(3.3f * (0.06f + 0.94f * r.b), phi, 0.08f * (r.c - 0.5f));
}

MorphPoint fanShells(const PointRandoms& r) {
    return fanPoint(0.75f + 0.62f * std::floor(5 * r.c), 1.16f * r.a - 0.58f, 0.12f * (r.b - 0.5f));
}

// Twenty nested squares, each smaller and turned further than the last.
MorphPoint spiral(const PointRandoms& r, float twist, float depth) {
    const float k = std::floor(20 * r.c);
    const float h = 1.45f * std::pow(0.885f, k);
    const MorphPoint point = rotated(MorphGeometry::rim(r.a, h, h), 0.2f * k + twist);
    return {point.x, point.y, depth * (k / 20 - 0.5f)};
}

// A laptop on the left, a phone on the right and six rings of signal between them.
MorphPoint devices(const PointRandoms& r, float scale, float phase) {
    if (r.c < 0.15f) {
        const MorphPoint laptop = MorphGeometry::rim(r.a, 0.52f, 0.36f);
        return {laptop.x - 1.55f, laptop.y, 0};
    }
    if (r.c < 0.27f) {
        const MorphPoint phone = MorphGeometry::rim(r.a, 0.2f, 0.42f);
        return {phone.x + 1.7f, phone.y, 0};
    }
    const float rho = scale * (0.3f + 0.26f * std::floor(6 * r.a));
    const float phi = 2 * pi * r.b + phase;
    return {1.5f * rho * std::cos(phi), 0.22f * rho * std::sin(phi), 0.95f * rho * std::sin(phi)};
}

MorphPoint scatter(const PointRandoms& r) {
    const float radius = 2.6f * std::cbrt(r.c);
    const float theta = 2 * pi * r.a;
    const float u = 2 * r.b - 1;
    const float sigma = std::sqrt(std::max(0.0f, 1 - u * u));
    return {radius * sigma * std::cos(theta), 1.5f * u, radius * sigma * std::sin(theta)};
}

} // namespace

MorphPoint MorphGeometry::position(MorphShape shape, std::size_t index, std::size_t count,
                                   const PointRandoms& randoms) {
    switch (shape) {
    case MorphShape::screen:
        return screen(randoms);
    case MorphShape::phone:
        return phone(randoms);
    case MorphShape::beam:
        return beam(sweep(index, count), randoms);
    case MorphShape::sphere:
        return sphere(index, sweep(index, count));
    case MorphShape::torus:
        return torus(index, count, randoms);
    case MorphShape::stack:
        return stack(randoms);
    case MorphShape::wave:
        return wave(randoms);
    case MorphShape::funnel:
        return funnel(randoms);
    case MorphShape::frames:
        return frames(randoms, 1.9f, 1.1f, 0);
    case MorphShape::framesTight:
        return frames(randoms, 0.9f, 2.4f, 0.12f);
    case MorphShape::fan:
        return fan(randoms);
    case MorphShape::fanShells:
        return fanShells(randoms);
    case MorphShape::spiral:
        return spiral(randoms, 0, 0.9f);
    case MorphShape::spiralTwist:
        return spiral(randoms, 0.42f, -1.5f);
    case MorphShape::devices:
        return devices(randoms, 1, 0);
    case MorphShape::devicesWide:
        return devices(randoms, 1.28f, 0.5f);
    case MorphShape::scatter:
    case MorphShape::wordmark:
        return scatter(randoms);
    }
    return scatter(randoms);
}

MorphPoint MorphGeometry::rim(float u, float w, float h) {
    const float q = 4 * u;
    // u = 1 closes the outline at its start instead of running off the last side.
    const float k = std::clamp(std::floor(q), 0.0f, 3.0f);
    const float f = q - k;
    switch (static_cast<int>(k)) {
    case 0:
        return {w * (2 * f - 1), -h, 0};
    case 1:
        return {w, h * (2 * f - 1), 0};
    case 2:
        return {w * (1 - 2 * f), h, 0};
    default:
        return {-w, h * (1 - 2 * f), 0};
    }
}

} // namespace tarnwick
