#include "ConnectCore/Host/HostFacts.hpp"
#include "tests/Support/ScopedEnvironment.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace tarnwick {
namespace {

class HostFactsTest : public ::testing::Test {
protected:
    void write(const std::string& file, const std::string& text) {
        std::filesystem::create_directories((root.path() / file).parent_path());
        std::ofstream(root.path() / file) << text;
    }

    testing::TemporaryDirectory root;
};

TEST_F(HostFactsTest, ComputerNameIsThePrettyHostNameUnquoted) {
    write("etc/machine-info", "# set by hostnamectl\nCHASSIS=laptop\n"
                              "PRETTY_HOSTNAME=\"J\xC3\xBCrgen\xE2\x80\x99s \\\"Studio\\\" \\$HOME\"\n");
    EXPECT_EQ(HostFacts::computerName(root.path()), "Jürgen’s \"Studio\" $HOME");
    write("etc/machine-info", "PRETTY_HOSTNAME='Back\\slash'\n");
    EXPECT_EQ(HostFacts::computerName(root.path()), "Back\\slash");
}

TEST_F(HostFactsTest, ComputerNameFallsBackToTheHostName) {
    char hostName[HOST_NAME_MAX + 1] = {};
    ASSERT_EQ(gethostname(hostName, HOST_NAME_MAX), 0);
    EXPECT_EQ(HostFacts::computerName(root.path()), hostName);
    write("etc/machine-info", "PRETTY_HOSTNAME=\n");
    EXPECT_EQ(HostFacts::computerName(root.path()), hostName);
}

// etc/os-release wins over usr/lib/os-release even when it lacks the key.
TEST_F(HostFactsTest, OSVersionReadsOSReleaseInOrder) {
    EXPECT_EQ(HostFacts::osVersion(root.path()), "Linux");
    write("usr/lib/os-release", "NAME=Debian\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    EXPECT_EQ(HostFacts::osVersion(root.path()), "Debian GNU/Linux 12 (bookworm)");
    write("etc/os-release", "PRETTY_NAME_EXTRA=x\nPRETTY_NAME=Fedora\\ Linux\n");
    EXPECT_EQ(HostFacts::osVersion(root.path()), "Fedora Linux");
    write("etc/os-release", "NAME=Minimal\n");
    EXPECT_EQ(HostFacts::osVersion(root.path()), "Linux");
}

// Only an absolute XDG folder counts; anything else falls back to the home's default.
TEST(HostFacts, FoldersFollowTheXDGVariables) {
    testing::ScopedEnvironment environment;
    environment.set("HOME", "/home/ada");
    environment.set("XDG_DATA_HOME", "/data/ada");
    environment.set("XDG_CONFIG_HOME", "/settings/ada");
    EXPECT_EQ(HostFacts::applicationSupportFolder(), "/data/ada/Tarnwick Connect");
    EXPECT_EQ(HostFacts::configFolder(), "/settings/ada/Tarnwick");
    for (const auto& ignored : std::vector<std::optional<std::string>>{"", "relative/data", std::nullopt}) {
        environment.set("XDG_DATA_HOME", ignored);
        environment.set("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(HostFacts::applicationSupportFolder(), "/home/ada/.local/share/Tarnwick Connect");
        EXPECT_EQ(HostFacts::configFolder(), "/home/ada/.config/Tarnwick");
    }
}

} // namespace
} // namespace tarnwick
