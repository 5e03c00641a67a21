#include "ConnectUI/Backdrop/MorphCloud.hpp"
#include "ConnectUI/Backdrop/MorphGeometry.hpp"
#include "ConnectUI/Backdrop/WordmarkPoints.hpp"
#include "tests/Support/QtApplication.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

class MorphCloudTest : public ::testing::Test {
protected:
    void SetUp() override { testing::qtApplication(); }
    WordmarkPoints wordmark;
};

TEST_F(MorphCloudTest, TheSameConfigurationDrawsTheSameCloud) {
    const std::vector shapes{MorphShape::scatter, MorphShape::torus};
    const MorphCloud first(shapes, 6500);
    const MorphCloud second(shapes, 6500);
    EXPECT_EQ(first.figure(0, wordmark), second.figure(0, wordmark));
    EXPECT_EQ(first.figure(1, wordmark), second.figure(1, wordmark));
    EXPECT_EQ(first.seeds(), second.seeds());
}

// The generator runs through the points in order: a, b, c, then the size seed.
TEST_F(MorphCloudTest, EachPointTakesThreeRandomsAndThenItsSeed) {
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

TEST_F(MorphCloudTest, TooFewPointsAreRaisedToTheMinimum) {
    EXPECT_EQ(MorphCloud({MorphShape::sphere}, 0).pointCount(), 200u);
    EXPECT_EQ(MorphCloud({MorphShape::sphere}, 199).pointCount(), 200u);
    EXPECT_EQ(MorphCloud({MorphShape::sphere}, 201).pointCount(), 201u);
    const MorphCloud raised({MorphShape::sphere}, 12);
    EXPECT_EQ(raised.seeds().size(), 200u);
    EXPECT_EQ(raised.figure(0, wordmark).size(), 200u);
}

TEST_F(MorphCloudTest, NoFiguresMeansTheDevicesPair) {
    const MorphCloud cloud({}, 500);
    EXPECT_EQ(cloud.shapes(), (std::vector{MorphShape::devices, MorphShape::devicesWide}));
}

// A one-figure list holds its figure: both buffers get it, so transitions are invisible.
TEST_F(MorphCloudTest, AOneFigureListFillsBothBuffersAlike) {
    const MorphCloud cloud({MorphShape::stack}, 400);
    EXPECT_EQ(cloud.figure(0, wordmark), cloud.figure(1, wordmark));
}

TEST_F(MorphCloudTest, FiguresLoopThroughTheList) {
    const MorphCloud cloud({MorphShape::sphere, MorphShape::torus}, 250);
    const std::vector<MorphPoint> torus = cloud.figure(1, wordmark);
    EXPECT_EQ(cloud.figure(2, wordmark), cloud.figure(0, wordmark));
    EXPECT_EQ(cloud.figure(3, wordmark), torus);
    EXPECT_EQ(torus[7], MorphGeometry::position(MorphShape::torus, 7, 250, cloud.randoms()[7]));
}

TEST_F(MorphCloudTest, TheWordmarkSpellsTheWord) {
    const MorphCloud cloud({MorphShape::wordmark, MorphShape::scatter}, 300);
    const std::vector<MorphPoint> word = cloud.figure(0, wordmark);
    EXPECT_EQ(word, wordmark.positions(300, "Connect"));
    EXPECT_NE(word, cloud.figure(1, wordmark));
}

} // namespace
} // namespace tarnwick
