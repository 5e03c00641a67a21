#include "ConnectUI/Format/ByteFormat.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace tarnwick {
namespace {

TEST(ByteFormatTest, RatesAreBitsPerSecondInTheLargestUnitReached) {
    EXPECT_EQ(ByteFormat::rate(125'000), "1 Mbps");
    EXPECT_EQ(ByteFormat::rate(200'000'000), "1.6 Gbps");
    EXPECT_EQ(ByteFormat::rate(100), "1 Kbps");
    EXPECT_EQ(ByteFormat::rate(125'000'000), "1.0 Gbps");
    EXPECT_EQ(ByteFormat::rate(3'000'000), "24 Mbps");
    EXPECT_EQ(ByteFormat::rate(40), "0 Kbps");
}

// A clock that steps back can produce a negative rate; it must not print as "-1 Kbps".
TEST(ByteFormatTest, RatesThatCannotBeTrueReadAsZero) {
    EXPECT_EQ(ByteFormat::rate(0), "0 Kbps");
    EXPECT_EQ(ByteFormat::rate(-500), "0 Kbps");
    EXPECT_EQ(ByteFormat::rate(std::numeric_limits<double>::quiet_NaN()), "0 Kbps");
    EXPECT_EQ(ByteFormat::rate(std::numeric_limits<double>::infinity()), "0 Kbps");
}

TEST(ByteFormatTest, SizesUseDecimalUnitsWithOneDecimal) {
    const QLocale c = QLocale::c();
    EXPECT_EQ(ByteFormat::size(1'234'567, c), "1.2 MB");
    EXPECT_EQ(ByteFormat::size(2'500'000'000, c), "2.5 GB");
    EXPECT_EQ(ByteFormat::size(999, c), "999 bytes");
    EXPECT_EQ(ByteFormat::size(0, c), "0 bytes");
    EXPECT_FALSE(ByteFormat::size(std::numeric_limits<std::uint64_t>::max(), c).isEmpty());
}

} // namespace
} // namespace tarnwick
