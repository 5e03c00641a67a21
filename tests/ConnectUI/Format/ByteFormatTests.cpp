#include "ConnectUI/Format/ByteFormat.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace tarnwick {
namespace {

// Bits per second in the largest unit reached. A clock that steps back can produce a negative rate; it
// must not print as "-1 Kbps".
TEST(ByteFormatTest, RatesAreBitsPerSecondAndImpossibleOnesReadAsZero) {
    for (const auto& [bytesPerSecond, shown] : {std::pair{125'000.0, "1 Mbps"},
                                                {200'000'000.0, "1.6 Gbps"},
                                                {125'000'000.0, "1.0 Gbps"},
                                                {100.0, "1 Kbps"},
                                                {40.0, "0 Kbps"},
                                                {-500.0, "0 Kbps"},
                                                {std::numeric_limits<double>::quiet_NaN(), "0 Kbps"},
                                                {std::numeric_limits<double>::infinity(), "0 Kbps"}}) {
        EXPECT_EQ(ByteFormat::rate(bytesPerSecond), shown) << bytesPerSecond;
    }
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
