#include "ConnectCore/Account/AppConfiguration.hpp"
#include "ConnectCore/Account/HTTPClient.hpp"
#include "ConnectCore/Account/URLEncoding.hpp"
#include "tests/Support/ScopedEnvironment.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using AppConfiguration::Environment;

TEST(AppConfiguration, TheVariableWinsThenTheBuildSettingThenDev) {
    EXPECT_EQ(AppConfiguration::environment("STAGING", "prod"), Environment::staging);
    EXPECT_EQ(AppConfiguration::environment("Prod", std::nullopt), Environment::prod);
    EXPECT_EQ(AppConfiguration::environment("moon", "Staging"), Environment::staging);
    EXPECT_EQ(AppConfiguration::environment("moon", "moon"), Environment::dev);
    EXPECT_EQ(AppConfiguration::environment(std::nullopt, std::nullopt), Environment::dev);

    testing::ScopedEnvironment environment;
    environment.set("TARNWICK_ENV", "PROD");
    EXPECT_EQ(AppConfiguration::environment(), Environment::prod);
}

TEST(URLEncoding, EscapesWhatWouldChangeTheAddress) {
    EXPECT_EQ(HTTPClient::formBody({{"a", "x y+z/~"}, {"b", "é"}}), "a=x%20y%2Bz%2F~&b=%C3%A9");
    EXPECT_EQ(URLEncoding::encode("../A/B", URLEncoding::pathSegment), "%2E%2E%2FA%2FB");
    EXPECT_EQ(URLEncoding::encode("a+b&c=d#e", URLEncoding::queryValue), "a%2Bb%26c%3Dd%23e");
    EXPECT_EQ(URLEncoding::decode("a%2fb%20c"), "a/b c");
    EXPECT_EQ(URLEncoding::decode("50%"), std::nullopt);
    EXPECT_EQ(URLEncoding::decode("%zz"), std::nullopt);
}

} // namespace
} // namespace tarnwick
