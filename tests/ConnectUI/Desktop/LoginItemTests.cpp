#include "ConnectUI/Desktop/LoginItem.hpp"
#include "tests/Support/ScopedEnvironment.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tarnwick {
namespace {

// The entry carries the installed launcher's name and icon, and starts the program that wrote it.
TEST(LoginItem, WritesAndRemovesTheAutostartEntry) {
    testing::TemporaryDirectory config;
    testing::ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", config.path().string());
    const auto entry = config.path() / "autostart" / "io.tarnwick.connect.desktop";
    EXPECT_EQ(LoginItem::entry(), entry);
    EXPECT_FALSE(LoginItem::isEnabled());

    LoginItem::setEnabled(true, "/opt/Tarnwick \"Connect\"/tarnwick-connect");
    EXPECT_TRUE(LoginItem::isEnabled());
    std::stringstream text;
    text << std::ifstream(entry).rdbuf();
    EXPECT_NE(text.str().find("Exec=\"/opt/Tarnwick \\\"Connect\\\"/tarnwick-connect\"\n"),
              std::string::npos);
    EXPECT_NE(text.str().find("Icon=io.tarnwick.connect\n"), std::string::npos);

    LoginItem::setEnabled(false, "/unused");
    EXPECT_FALSE(LoginItem::isEnabled());
    EXPECT_NO_THROW(LoginItem::setEnabled(false, "/unused")); // already off
}

TEST(LoginItem, ReportsAnEntryItCannotWrite) {
    testing::TemporaryDirectory config;
    testing::ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", config.path().string());
    std::ofstream(config.path() / "autostart") << "a file where the folder should be";
    try {
        LoginItem::setEnabled(true, "/usr/bin/tarnwick-connect");
        FAIL() << "no error";
    } catch (const LoginItemError& error) {
        EXPECT_EQ(error.entry(), LoginItem::entry());
        EXPECT_FALSE(error.reason().empty());
    }
    EXPECT_FALSE(LoginItem::isEnabled());
}

} // namespace
} // namespace tarnwick
