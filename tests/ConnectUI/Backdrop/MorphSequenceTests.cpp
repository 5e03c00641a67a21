#include "ConnectUI/Backdrop/MorphSequence.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(MorphSequenceTest, HoldsThenEasesIntoTheNextFigure) {
    const MorphSequence sequence(2, 2);
    EXPECT_EQ(sequence.progress(1.9), 0.0f);
    EXPECT_FLOAT_EQ(sequence.progress(3), 0.5f);
    EXPECT_FLOAT_EQ(sequence.progress(4 + 3), 0.5f);
}

// The first frame only notes its cycle; each later new cycle swaps the buffers and names the figure
// after the one now shown.
TEST(MorphSequenceTest, AdvancesOneFigurePerNewCycleHoweverManyPassed) {
    MorphSequence sequence(2, 2);
    EXPECT_EQ(sequence.advance(0.5), std::nullopt);
    EXPECT_EQ(sequence.advance(3.9), std::nullopt);
    EXPECT_EQ(sequence.advance(4.1), 2u);
    EXPECT_EQ(sequence.figureStep(), 1u);
    EXPECT_EQ(sequence.advance(6), std::nullopt);
    EXPECT_EQ(sequence.advance(21), 3u);
    EXPECT_EQ(sequence.figureStep(), 2u);
}

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
