#include "TarnwickConnectProtocol/Bytes/Base64.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(Base64, StandardAlphabetKeepsSlashAndPadding) {
    EXPECT_EQ(Base64::encode(Bytes{0xFF, 0xFF, 0xFF}), "////");
    EXPECT_EQ(Base64::encode(bytesOf("ab")), "YWI=");
    EXPECT_EQ(Base64::decode("YWI="), bytesOf("ab"));
    EXPECT_EQ(Base64::decode(""), Bytes{});
}

TEST(Base64, RejectsMalformedStandardText) {
    for (const char* text : {"YWI", "YW=I", " YWI=", "YWI=\n", "Y*I=", "Y-I=", "===="}) {
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
