#include "ConnectUI/Brand/BrandAssets.hpp"
#include "tests/Support/QtApplication.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

// The mark is drawn from its path text: this reads what the parser made of it. The tray test draws the
// icons and checks they read on dark and light panels.
TEST(BrandAssets, TheMarkIsARingAroundTwoArrows) {
    testing::qtApplication();
    const QPainterPath path = BrandAssets::markPath();
    EXPECT_TRUE(path.contains(QPointF(12, 3.2)));  // on the ring
    EXPECT_FALSE(path.contains(QPointF(12, 5.5))); // inside the ring, between it and the arrows
    EXPECT_TRUE(path.contains(QPointF(10, 9.5)));  // the upper arrow's shaft
    EXPECT_TRUE(path.contains(QPointF(14, 14.5))); // the lower arrow's shaft
}

} // namespace
} // namespace tarnwick
