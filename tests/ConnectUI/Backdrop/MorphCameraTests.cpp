#include "ConnectUI/Backdrop/MorphCamera.hpp"

#include <gtest/gtest.h>

#include <numbers>

namespace tarnwick {
namespace {

TEST(MorphCameraTest, CirclesTheOriginAndKeepsItInTheCentre) {
    EXPECT_EQ(MorphCamera::eye(0, 0.15, 5.4, 0.75), QVector3D(0, 0.75f, 5.4f));
    const QVector3D quarterTurn = MorphCamera::eye(10, std::numbers::pi / 20, 5.4, 0.75);
    EXPECT_NEAR(quarterTurn.x(), 5.4, 1e-5);
    EXPECT_NEAR(quarterTurn.z(), 0, 1e-5);
    for (const double elapsed : {0.0, 3.0, 40.0}) {
        const QVector4D origin =
            MorphCamera::viewProjection(elapsed, 0.15, 5.4, 0.75, 940.0 / 620) * QVector4D(0, 0, 0, 1);
        EXPECT_NEAR(origin.x() / origin.w(), 0, 1e-5);
        EXPECT_NEAR(origin.y() / origin.w(), 0, 1e-5);
        const float distance = MorphCamera::eye(elapsed, 0.15, 5.4, 0.75).length();
        EXPECT_NEAR(origin.w(), distance, 1e-4);
    }
}

TEST(MorphCameraTest, ShimmerSweepsFromJustBeforeToJustPastTheCloud) {
    EXPECT_FLOAT_EQ(MorphCamera::shimmer(0, true), -0.3f);
    EXPECT_FLOAT_EQ(MorphCamera::shimmer(2.6, true), 0.7f);
    EXPECT_NEAR(MorphCamera::shimmer(2.6 * 1.6 - 1e-6, true), 1.3f, 1e-5);
    EXPECT_FLOAT_EQ(MorphCamera::shimmer(2.6 * 1.6, true), -0.3f);
    EXPECT_EQ(MorphCamera::shimmer(2.6, false), -1);
}

} // namespace
} // namespace tarnwick
