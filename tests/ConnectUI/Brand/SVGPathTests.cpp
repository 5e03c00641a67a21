#include "ConnectUI/Brand/SVGPath.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using Segment = SVGPath::Segment;
using Kind = Segment::Kind;

Segment move(double x, double y) {
    return {Kind::move, {x, y}, {}, {}};
}
Segment line(double x, double y) {
    return {Kind::line, {x, y}, {}, {}};
}
Segment close(double x, double y) {
    return {Kind::close, {x, y}, {}, {}};
}
Segment cubic(QPointF c1, QPointF c2, QPointF end) {
    return {Kind::cubic, end, c1, c2};
}

std::vector<Segment> parsed(std::string_view text) {
    return SVGPath::parse(text).segments();
}

TEST(SVGPathTest, AbsoluteAndRelativeLinesEndAtTheSamePoints) {
    const std::vector expected{move(10, 20), line(30, 40), line(50, 40), line(50, 60), close(10, 20)};
    EXPECT_EQ(parsed("M10 20 L30 40 H50 V60 Z"), expected);
    EXPECT_EQ(parsed("m10,20 l20,20 h20 v20 z"), expected);
    EXPECT_TRUE(parsed("").empty());
    EXPECT_TRUE(parsed(" \n\t").empty());
}

// Pairs after a move are lines; numbers end where the grammar does, without separators.
TEST(SVGPathTest, RepeatedCoordinatesAndPackedNumbers) {
    EXPECT_EQ(parsed("M0 0 10 0 10 10"), (std::vector{move(0, 0), line(10, 0), line(10, 10)}));
    EXPECT_EQ(parsed("m1 1 2 2"), (std::vector{move(1, 1), line(3, 3)}));
    EXPECT_EQ(parsed("M1.5.5-2e1,+3"), (std::vector{move(1.5, 0.5), line(-20, 3)}));
    EXPECT_EQ(parsed("M0 0H1 2V3 4"),
              (std::vector{move(0, 0), line(1, 0), line(2, 0), line(2, 3), line(2, 4)}));
}

TEST(SVGPathTest, CubicsTakeRelativePointsFromTheCurrentPoint) {
    EXPECT_EQ(parsed("M0 0 C1 2 3 4 5 6 c1 1 2 2 3 3"),
              (std::vector{move(0, 0), cubic({1, 2}, {3, 4}, {5, 6}), cubic({6, 7}, {7, 8}, {8, 9})}));
}

// A smooth cubic's first control mirrors the previous cubic's second; after anything else it is the
// current point.
TEST(SVGPathTest, SmoothCubicsMirrorThePreviousControl) {
    const std::vector expected{move(0, 0), cubic({0, 1}, {2, 3}, {4, 4}), cubic({6, 5}, {8, 6}, {8, 8})};
    EXPECT_EQ(parsed("M0 0 C0 1 2 3 4 4 S8 6 8 8"), expected);
    EXPECT_EQ(parsed("M0 0 C0 1 2 3 4 4 s4 2 4 4"), expected);
    EXPECT_EQ(parsed("M0 0 C0 1 2 3 4 4 S8 6 8 8 S9 9 10 10")[3], cubic({8, 10}, {9, 9}, {10, 10}));
    EXPECT_EQ(parsed("M1 1 S2 2 3 3")[1], cubic({1, 1}, {2, 2}, {3, 3}));
    EXPECT_EQ(parsed("M0 0 C0 1 2 3 4 4 L5 5 S6 6 7 7")[3], cubic({5, 5}, {6, 6}, {7, 7}));
}

} // namespace
} // namespace tarnwick
