#include "ConnectUI/Pairing/PairedAddresses.hpp"
#include "ConnectUI/Pairing/PairedDevices.hpp"
#include "tests/Support/ProfileSettings.hpp"
#include "tests/Support/QtApplication.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

class PairedAddressesTest : public ::testing::Test {
protected:
    void SetUp() override { testing::qtApplication(); }
    testing::ProfileSettings profile;
};

// The addresses are a settings entry of their own: the paired devices' stored list keeps its form.
TEST_F(PairedAddressesTest, AnAddressSurvivesARestartBesideThePairedList) {
    PairedDevices paired(*profile.settings);
    paired.remember("KEY-A", "LAPTOP-ID", "Laptop");
    const QByteArray pairedBefore = profile.settings->value(PairedDevices::settingsKey).toByteArray();
    PairedAddresses addresses(*profile.settings);
    addresses.remember("KEY-A", "198.18.1.2:47810");
    addresses.remember("KEY-A", "[fe80::1%eth0]:47811");

    const auto settings = profile.reopened();
    EXPECT_EQ(settings->value(PairedDevices::settingsKey).toByteArray(), pairedBefore);
    PairedAddresses restarted(*settings);
    EXPECT_EQ(restarted.address("KEY-A"), "[fe80::1%eth0]:47811") << "the last address wins";
    EXPECT_EQ(restarted.entries().size(), 1u);
    EXPECT_EQ(restarted.address("KEY-B"), std::nullopt);
}

TEST_F(PairedAddressesTest, StoredDataThatDoesNotReadGivesNoAddresses) {
    profile.settings->setValue(PairedAddresses::settingsKey,
                               R"([{"fingerprint":"KEY-A","address":"laptop:47810"},)"
                               R"({"fingerprint":"KEY-B","address":"no port"}])");
    EXPECT_TRUE(PairedAddresses(*profile.settings).entries().empty());
    profile.settings->setValue(PairedAddresses::settingsKey, "not json");
    EXPECT_TRUE(PairedAddresses(*profile.settings).entries().empty());
}

} // namespace
} // namespace tarnwick
