#include "ConnectUI/Backdrop/MorphRandom.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

// state ← state × 1664525 + 1013904223 (mod 2^32), divided by 2^32.
TEST(MorphRandomTest, DrawsTheGeneratorsSequenceForASeed) {
    MorphRandom random(20260821);
    EXPECT_FLOAT_EQ(random.next(), 1573771056.0f / 4294967296.0f);
    EXPECT_FLOAT_EQ(random.next(), 122683599.0f / 4294967296.0f);
    EXPECT_FLOAT_EQ(random.next(), 2416474082.0f / 4294967296.0f);
    EXPECT_FLOAT_EQ(random.next(), 2712868313.0f / 4294967296.0f);
}

// This seed's next state is 2^32 − 1, which as a float rounds to 2^32.
TEST(MorphRandomTest, StaysBelowOneWhenTheStateRoundsUp) {
    MorphRandom random(653637408);
    const float value = random.next();
    EXPECT_LT(value, 1.0f);
    EXPECT_GT(value, 0.999f);
}

} // namespace
} // namespace tarnwick
