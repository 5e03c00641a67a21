#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(Bytes, BigEndianRoundTripsEveryWidth) {
    Bytes bytes;
    appendBigEndian(bytes, std::uint16_t{0x0102});
    appendBigEndian(bytes, std::uint32_t{0x03040506});
    appendBigEndian(bytes, std::uint64_t{0x0708090A0B0C0D0E});
    EXPECT_EQ(bytes, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(bigEndianUInt16(bytes, 0), 0x0102);
    EXPECT_EQ(bigEndianUInt32(bytes, 2), 0x03040506u);
    EXPECT_EQ(bigEndianUInt64(bytes, 6), 0x0708090A0B0C0D0Eu);
}

TEST(Base64, StandardAlphabetKeepsSlashAndPadding) {
    EXPECT_EQ(Base64::encode(Bytes{0xFF, 0xFF, 0xFF}), "////");
    EXPECT_EQ(Base64::encode(bytesOf("ab")), "YWI=");
    EXPECT_EQ(Base64::decode("YWI="), bytesOf("ab"));
    EXPECT_EQ(Base64::decode(""), Bytes{});
}

TEST(Base64, RejectsMalformedStandardText) {
    for (const char* text : {"YWI", "YW=I", " YWI=", "YWI=\n", "Y*I=", "===="}) {
        EXPECT_FALSE(Base64::decode(text).has_value()) << text;
    }
}

// Every remainder modulo 3 must survive the unpadded form.
TEST(Base64, UrlFormRoundTripsEveryLength) {
    for (std::size_t length = 0; length < 7; ++length) {
        Bytes input;
        for (std::size_t i = 0; i < length; ++i) {
            input.push_back(static_cast<std::uint8_t>(0xFB + i));
        }
        const std::string text = Base64::urlEncode(input);
        EXPECT_EQ(text.find_first_of("+/="), std::string::npos);
        EXPECT_EQ(Base64::urlDecode(text), input);
    }
    EXPECT_FALSE(Base64::urlDecode("abcde").has_value());
}

} // namespace
} // namespace tarnwick
