#include "ConnectUI/Backdrop/WordmarkPoints.hpp"
#include "tests/Support/QtApplication.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tarnwick {
namespace {

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
