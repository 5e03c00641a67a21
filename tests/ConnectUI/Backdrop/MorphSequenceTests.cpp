#include "ConnectUI/Backdrop/MorphSequence.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(MorphSequenceTest, AZeroLengthCycleStaysFinite) {
    MorphSequence sequence(0, 0);
    EXPECT_EQ(sequence.advance(0), std::nullopt);
    EXPECT_EQ(sequence.advance(1), 2u);
    const float progress = sequence.progress(1.0005);
    EXPECT_GE(progress, 0.0f);
    EXPECT_LE(progress, 1.0f);
}

} // namespace
} // namespace tarnwick
