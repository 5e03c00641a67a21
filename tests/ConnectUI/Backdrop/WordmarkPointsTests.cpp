#include "ConnectUI/Backdrop/WordmarkPoints.hpp"
#include "tests/Support/QtApplication.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tarnwick {
namespace {

// Two lit pixels, (100, 50) and (300, 150), and one just too dim to count at the corner: the lit area
// is 200 × 100 pixels around (200, 100), so each pixel measures min(3.9 / 200, 1.1 / 100) = 0.011.
TEST(WordmarkPointsTest, SpreadsPointsEvenlyOverTheLitPixels) {
    QImage bitmap(1400, 360, QImage::Format_Grayscale8);
    bitmap.fill(0);
    bitmap.setPixel(0, 0, qRgb(128, 128, 128));
    bitmap.setPixel(100, 50, qRgb(255, 255, 255));
    bitmap.setPixel(300, 150, qRgb(129, 129, 129));

    const std::vector<MorphPoint> points = WordmarkPoints::spread(bitmap, 4);
    ASSERT_EQ(points.size(), 4u);
    // Points 0 and 1 take the first pixel, 2 and 3 the second, each with its three randoms from seed
    // 90210 added to its column and row.
    EXPECT_NEAR(points[0].x, -1.0978311f, 1e-5);
    EXPECT_NEAR(points[0].y, 0.5426826f, 1e-5);
    EXPECT_NEAR(points[0].z, -0.0235550f, 1e-5);
    EXPECT_NEAR(points[1].x, points[0].x, 0.011);
    EXPECT_NEAR(points[2].x, 1.1021385f, 1e-5);
    EXPECT_NEAR(points[2].y, -0.5587859f, 1e-5);
    EXPECT_NEAR(points[2].z, 0.0319942f, 1e-5);
}

TEST(WordmarkPointsTest, ADarkBitmapGivesNoPoints) {
    QImage bitmap(1400, 360, QImage::Format_Grayscale8);
    bitmap.fill(0);
    EXPECT_TRUE(WordmarkPoints::spread(bitmap, 300).empty());
}

TEST(WordmarkPointsTest, TheWordFillsTheFigureAndIsDrawnOncePerCount) {
    testing::qtApplication();
    WordmarkPoints wordmark;
    const std::vector<MorphPoint>& points = wordmark.positions(6500, "Connect");
    ASSERT_EQ(points.size(), 6500u);
    const auto [left, right] = std::minmax_element(
        points.begin(), points.end(), [](const MorphPoint& p, const MorphPoint& q) { return p.x < q.x; });
    const auto [bottom, top] = std::minmax_element(
        points.begin(), points.end(), [](const MorphPoint& p, const MorphPoint& q) { return p.y < q.y; });
    // A wide word is limited by the 3.9 width; its height stays within 1.1.
    EXPECT_NEAR(right->x - left->x, 3.9f, 0.05f);
    EXPECT_LE(top->y - bottom->y, 1.15f);
    EXPECT_TRUE(std::all_of(points.begin(), points.end(),
                            [](const MorphPoint& p) { return std::abs(p.z) <= 0.08f; }));
    EXPECT_EQ(&wordmark.positions(6500, "Connect"), &points);
    EXPECT_TRUE(wordmark.positions(6500, "").empty());
}

} // namespace
} // namespace tarnwick
