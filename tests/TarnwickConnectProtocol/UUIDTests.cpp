#include "TarnwickConnectProtocol/Crypto/UUID.hpp"

#include <gtest/gtest.h>

#include <regex>

namespace tarnwick {
namespace {

TEST(UUIDTest, RandomUUIDsAreFreshUpperCaseVersion4Text) {
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    const std::string first = UUID::random();
    EXPECT_TRUE(std::regex_match(first, form)) << first;
    EXPECT_NE(first, UUID::random());
}

} // namespace
} // namespace tarnwick
