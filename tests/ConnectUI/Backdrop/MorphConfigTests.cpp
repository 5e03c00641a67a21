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

} // namespace
} // namespace tarnwick
