#include "ConnectUI/Backdrop/MorphGeometry.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

void expectNear(const MorphPoint& actual, const MorphPoint& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-4);
    EXPECT_NEAR(actual.y, expected.y, 1e-4);
    EXPECT_NEAR(actual.z, expected.z, 1e-4);
}

TEST(MorphGeometryTest, RimWalksTheOutlineFromTheBottomLeftCorner) {
    expectNear(MorphGeometry::rim(0, 2, 1), {-2, -1, 0});
    expectNear(MorphGeometry::rim(0.125f, 2, 1), {0, -1, 0});
    expectNear(MorphGeometry::rim(0.375f, 2, 1), {2, 0, 0});
    expectNear(MorphGeometry::rim(0.625f, 2, 1), {0, 1, 0});
    expectNear(MorphGeometry::rim(0.875f, 2, 1), {-2, 0, 0});
    expectNear(MorphGeometry::rim(1, 2, 1), {-2, -1, 0});
}

struct KnownPoint {
    MorphShape shape;
    std::size_t index;
    std::size_t count;
    PointRandoms randoms;
    MorphPoint expected;
};

// Worked out by hand from each figure's formula.
const KnownPoint knownPoints[] = {
    {MorphShape::screen, 0, 10, {0.25f, 0.5f, 0.75f}, {-0.875f, 0, 0}},
    {MorphShape::screen, 0, 10, {0.25f, 0.3f, 0.2f}, {-1.05f, -0.44f, 0}},
    {MorphShape::phone, 0, 10, {0.3f, 0.5f, 0.5f}, {-0.208f, 0, 0}},
    {MorphShape::phone, 0, 10, {0.5f, 0.25f, 0.1f}, {0, -0.56f, 0}},
    {MorphShape::beam, 0, 3, {0, 0, 0}, {-1.95f, 0.027f, 0}},
    {MorphShape::beam, 1, 3, {0, 0, 0}, {0, 0, 0.65f}},
    {MorphShape::sphere, 0, 5, {}, {0, 1.25f, 0}},
    {MorphShape::sphere, 4, 5, {}, {0, -1.25f, 0}},
    {MorphShape::torus, 0, 28, {0, 0, 0}, {1.62f, 0, 0}},
    {MorphShape::torus, 0, 28, {0.25f, 0, 0}, {1.32f, 0.3f, 0}},
    {MorphShape::torus, 1, 28, {0.5f, 0, 0}, {0, 0, 1.02f}},
    {MorphShape::stack, 0, 10, {0.125f, 0, 0.5f}, {0, 0, -1.5f}},
    {MorphShape::stack, 0, 10, {0.375f, 0, 0}, {1.2f, -0.95f, 0}},
    {MorphShape::stack, 0, 10, {0.625f, 0, 0.99f}, {0, 0.95f, 1.2f}},
    {MorphShape::stack, 0, 10, {0.875f, 0, 0.99f}, {-1.2f, 0.95f, 0}},
    {MorphShape::wave, 0, 10, {0, 0, 0}, {-1.7f, 0.0597565f, -1.7f}},
    {MorphShape::wave, 0, 10, {0.99f, 0, 0}, {1.7f, 0.0597565f, -1.7f}},
    {MorphShape::funnel, 0, 10, {0, 0, 0}, {0.12f, -0.99f, 0}},
    {MorphShape::funnel, 0, 10, {0.5f, 0.25f, 0}, {0, -0.09f, 0.87f}},
    {MorphShape::frames, 0, 10, {0.125f, 0, 0}, {-0.95f, -0.005f, -0.55f}},
    {MorphShape::frames, 0, 10, {0.375f, 0, 0.99f}, {1.6f, -0.575f, 0.55f}},
    {MorphShape::framesTight, 0, 10, {0.125f, 0, 0}, {-0.45f, -0.005f, -1.2f}},
    {MorphShape::framesTight, 0, 10, {0.375f, 0, 0.99f}, {1.0953256f, -0.4971871f, 1.2f}},
    {MorphShape::fan, 0, 10, {0.5f, 0, 0.5f}, {-1.552f, 0, 0}},
    {MorphShape::fan, 0, 10, {0.5f, 0.5f, 1}, {-0.001f, 0, 0.04f}},
    {MorphShape::fanShells, 0, 10, {0.5f, 0.25f, 0}, {-1, 0, -0.03f}},
    {MorphShape::fanShells, 0, 10, {0.5f, 0.5f, 0.5f}, {0.24f, 0, 0}},
    {MorphShape::spiral, 0, 10, {0.125f, 0, 0}, {0, -1.45f, -0.45f}},
    {MorphShape::spiral, 0, 10, {0.375f, 0, 0.05f}, {1.2576704f, 0.2549424f, -0.405f}},
    {MorphShape::spiralTwist, 0, 10, {0.125f, 0, 0}, {0.5912527f, -1.323979f, 0.75f}},
    {MorphShape::devices, 0, 10, {0.125f, 0, 0.1f}, {-1.55f, -0.36f, 0}},
    {MorphShape::devices, 0, 10, {0.375f, 0, 0.2f}, {1.9f, 0, 0}},
    {MorphShape::devices, 0, 10, {0, 0, 0.5f}, {0.45f, 0, 0}},
    {MorphShape::devices, 0, 10, {0, 0.25f, 0.5f}, {0, 0.066f, 0.285f}},
    {MorphShape::devicesWide, 0, 10, {0.125f, 0, 0.1f}, {-1.55f, -0.36f, 0}},
    {MorphShape::devicesWide, 0, 10, {0, 0, 0.5f}, {0.5054876f, 0.0405019f, 0.1748944f}},
    {MorphShape::scatter, 0, 10, {0, 0.75f, 0}, {0, 0.75f, 0}},
    {MorphShape::scatter, 0, 10, {0, 0.5f, 0.125f}, {1.3f, 0, 0}},
    {MorphShape::scatter, 0, 10, {0.25f, 0.5f, 0.125f}, {0, 0, 1.3f}},
    {MorphShape::wordmark, 0, 10, {0.25f, 0.5f, 0.125f}, {0, 0, 1.3f}},
};

TEST(MorphGeometryTest, EveryFigurePlacesItsKnownPoints) {
    for (const KnownPoint& known : knownPoints) {
        SCOPED_TRACE(testing::Message()
                     << "figure " << static_cast<int>(known.shape) << ", point " << known.index);
        expectNear(MorphGeometry::position(known.shape, known.index, known.count, known.randoms),
                   known.expected);
    }
}

// One point has no span to sweep along; it sits where the sweep would start.
TEST(MorphGeometryTest, AOnePointSweepStartsAtTheBeginning) {
    expectNear(MorphGeometry::position(MorphShape::sphere, 0, 1, {}), {0, 1.25f, 0});
    expectNear(MorphGeometry::position(MorphShape::beam, 0, 1, {}), {-1.95f, 0.027f, 0});
}

} // namespace
} // namespace tarnwick
