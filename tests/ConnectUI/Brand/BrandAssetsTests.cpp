#include "ConnectUI/Brand/BrandAssets.hpp"
#include "tests/Support/QtApplication.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(BrandAssets, TheMarkIsARingAroundTwoArrows) {
    testing::qtApplication();
    const QPainterPath path = BrandAssets::markPath();
    EXPECT_TRUE(path.contains(QPointF(12, 3.2)));  // on the ring
    EXPECT_FALSE(path.contains(QPointF(12, 5.5))); // inside the ring, between it and the arrows
    EXPECT_TRUE(path.contains(QPointF(10, 9.5)));  // the upper arrow's shaft
    EXPECT_TRUE(path.contains(QPointF(14, 14.5))); // the lower arrow's shaft

    const QImage image = BrandAssets::mark(48, Qt::white);
    EXPECT_EQ(image.size(), QSize(48, 48));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(image.pixelColor(24, 6).alpha(), 255);
    EXPECT_FALSE(BrandAssets::statusIcon().availableSizes().isEmpty());
}

} // namespace
} // namespace tarnwick
