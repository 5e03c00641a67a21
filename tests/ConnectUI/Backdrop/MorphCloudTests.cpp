#include "ConnectUI/Backdrop/MorphCloud.hpp"
#include "ConnectUI/Backdrop/MorphGeometry.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(MorphCloudTest, TheSameConfigurationDrawsTheSameCloud) {
    const std::vector shapes{MorphShape::scatter, MorphShape::torus};
    const MorphCloud first(shapes, 6500);
    const MorphCloud second(shapes, 6500);
    EXPECT_EQ(first.figure(0), second.figure(0));
    EXPECT_EQ(first.figure(1), second.figure(1));
    EXPECT_EQ(first.seeds(), second.seeds());
}

// The generator runs through the points in order: a, b, c, then the size seed.
TEST(MorphCloudTest, EachPointTakesThreeRandomsAndThenItsSeed) {
    const MorphCloud cloud({MorphShape::scatter}, 300);
    const PointRandoms& first = cloud.randoms().front();
    EXPECT_FLOAT_EQ(first.a, 1573771056.0f / 4294967296.0f);
    EXPECT_FLOAT_EQ(first.b, 122683599.0f / 4294967296.0f);
    EXPECT_FLOAT_EQ(first.c, 2416474082.0f / 4294967296.0f);
    EXPECT_FLOAT_EQ(cloud.seeds().front(), 2712868313.0f / 4294967296.0f);
    EXPECT_FLOAT_EQ(cloud.randoms()[1].a, 4016866660.0f / 4294967296.0f);
    for (const PointRandoms& r : cloud.randoms()) {
        for (const float value : {r.a, r.b, r.c}) {
            ASSERT_GE(value, 0.0f);
            ASSERT_LT(value, 1.0f);
        }
    }
}

TEST(MorphCloudTest, TooFewPointsAreRaisedToTheMinimum) {
    EXPECT_EQ(MorphCloud({MorphShape::sphere}, 0).pointCount(), 200u);
    EXPECT_EQ(MorphCloud({MorphShape::sphere}, 199).pointCount(), 200u);
    EXPECT_EQ(MorphCloud({MorphShape::sphere}, 201).pointCount(), 201u);
    const MorphCloud raised({MorphShape::sphere}, 12);
    EXPECT_EQ(raised.seeds().size(), 200u);
    EXPECT_EQ(raised.figure(0).size(), 200u);
}

TEST(MorphCloudTest, NoFiguresMeansTheDevicesPair) {
    const MorphCloud cloud({}, 500);
    EXPECT_EQ(cloud.shapes(), (std::vector{MorphShape::devices, MorphShape::devicesWide}));
}

// A one-figure list holds its figure: both buffers get it, so transitions are invisible.
TEST(MorphCloudTest, AOneFigureListFillsBothBuffersAlike) {
    const MorphCloud cloud({MorphShape::stack}, 400);
    EXPECT_EQ(cloud.figure(0), cloud.figure(1));
}

TEST(MorphCloudTest, FiguresLoopThroughTheList) {
    const MorphCloud cloud({MorphShape::sphere, MorphShape::torus}, 250);
    const std::vector<MorphPoint> torus = cloud.figure(1);
    EXPECT_EQ(cloud.figure(2), cloud.figure(0));
    EXPECT_EQ(cloud.figure(3), torus);
    EXPECT_EQ(torus[7], MorphGeometry::position(MorphShape::torus, 7, 250, cloud.randoms()[7]));
}

} // namespace
} // namespace tarnwick
