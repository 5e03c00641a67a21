#include "ConnectUI/Backdrop/MorphCloud.hpp"
#include "ConnectUI/Backdrop/MorphConfig.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(MorphConfigTest, KeepsThePointCountWithinReadableAndAffordable) {
    MorphConfig::ViewValues values;
    for (const auto& [requested, derived] :
         {std::pair{150, 200u}, {-5, 200u}, {6500, 6500u}, {1 << 30, 200'000u}}) {
        values.pointCount = requested;
        EXPECT_EQ(MorphConfig::derive(values).pointCount, derived) << requested;
    }
}

TEST(MorphConfigTest, AScreenWithoutFiguresGetsTheDefaults) {
    MorphConfig::ViewValues values;
    EXPECT_EQ(MorphConfig::derive(values).shapes, MorphCloud::defaultShapes());
    values.shapes = {MorphShape::wordmark};
    EXPECT_EQ(MorphConfig::derive(values).shapes, values.shapes);
}

TEST(MorphConfigTest, InkIsTakenInSRGBAndWhiteWhenInvalid) {
    MorphConfig::ViewValues values;
    values.ink = QColor();
    EXPECT_EQ(MorphConfig::derive(values).ink, (std::array<float, 3>{1, 1, 1}));
    values.ink = QColor(51, 102, 255, 10);
    EXPECT_EQ(MorphConfig::derive(values).ink, (std::array<float, 3>{0.2f, 0.4f, 1}));
}

TEST(MorphShapeTest, NamesRoundTripAndUnknownNamesAreRejected) {
    for (int i = 0; i <= static_cast<int>(MorphShape::wordmark); ++i) {
        const auto shape = static_cast<MorphShape>(i);
        EXPECT_EQ(morphShapeNamed(morphShapeName(shape)), shape);
    }
    EXPECT_EQ(morphShapeNamed("Sphere"), std::nullopt);
    EXPECT_EQ(morphShapeNamed(""), std::nullopt);
}

} // namespace
} // namespace tarnwick
