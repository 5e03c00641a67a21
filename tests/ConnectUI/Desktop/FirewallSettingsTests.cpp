#include "ConnectUI/Desktop/FirewallSettings.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace tarnwick {
namespace {

void installProgram(const std::filesystem::path& folder, const std::string& name) {
    std::ofstream(folder / name) << "#!/bin/sh\n";
    std::filesystem::permissions(folder / name, std::filesystem::perms::owner_all);
}

QStringList searchPath(const testing::TemporaryDirectory& folder) {
    return {QString::fromStdString(folder.path().string())};
}

// The blocked notice's button shows only when something can open; GNOME's network panel wins over
// firewalld's own tool.
TEST(FirewallSettings, PrefersTheDesktopsNetworkPanelAndIsAbsentWithoutEither) {
    testing::TemporaryDirectory bin;
    EXPECT_EQ(FirewallSettings::command(searchPath(bin)), std::nullopt);

    installProgram(bin.path(), "firewall-config");
    const QString firewallConfig = QString::fromStdString((bin.path() / "firewall-config").string());
    EXPECT_EQ(FirewallSettings::command(searchPath(bin)), QStringList{firewallConfig});

    installProgram(bin.path(), "gnome-control-center");
    const QString gnome = QString::fromStdString((bin.path() / "gnome-control-center").string());
    EXPECT_EQ(FirewallSettings::command(searchPath(bin)), (QStringList{gnome, "network"}));
}

} // namespace
} // namespace tarnwick
