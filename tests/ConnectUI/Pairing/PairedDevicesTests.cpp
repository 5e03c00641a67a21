#include "ConnectUI/Pairing/PairedDevices.hpp"
#include "tests/Support/ProfileSettings.hpp"
#include "tests/Support/QtApplication.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

class PairedDevicesTest : public ::testing::Test {
protected:
    void SetUp() override { testing::qtApplication(); }
    testing::ProfileSettings profile;
};

TEST_F(PairedDevicesTest, RememberingAKnownKeyRenamesItAndSurvivesARestart) {
    PairedDevices paired(*profile.settings);
    paired.remember("KEY-A", "ID-A", "Phone");
    const auto firstSeen = paired.devices()[0].lastSeen;
    paired.remember("KEY-B", "ID-B", "Phone");
    paired.remember("KEY-A", "ID-A", "Anna's Phone");

    const auto settings = profile.reopened();
    PairedDevices restarted(*settings);
    ASSERT_EQ(restarted.devices().size(), 2u) << "same name, other key: two entries";
    EXPECT_EQ(restarted.devices()[0].fingerprint, "KEY-A");
    EXPECT_EQ(restarted.devices()[0].name, "Anna's Phone");
    EXPECT_EQ(restarted.devices()[0].deviceID, "ID-A") << "the identifier is kept to notice a new key";
    EXPECT_GE(restarted.devices()[0].lastSeen, firstSeen);
    EXPECT_LE(std::chrono::abs(restarted.devices()[0].lastSeen - paired.devices()[0].lastSeen),
              std::chrono::milliseconds(1))
        << "dates survive the stored form";
    EXPECT_TRUE(restarted.isPaired("KEY-B"));
}

TEST_F(PairedDevicesTest, ForgettingRemovesTheStoredEntryAtOnce) {
    PairedDevices paired(*profile.settings);
    paired.remember("KEY-A", "ID-A", "Phone");
    paired.remember("KEY-B", "ID-B", "Tablet");
    paired.forget(paired.devices()[0]);
    EXPECT_FALSE(paired.isPaired("KEY-A"));
    const auto settings = profile.reopened();
    EXPECT_FALSE(PairedDevices(*settings).isPaired("KEY-A"));
    paired.forgetAll();
    EXPECT_TRUE(PairedDevices(*profile.reopened()).devices().empty());
}

TEST_F(PairedDevicesTest, StoredDataThatDoesNotDecodeGivesAnEmptyList) {
    for (const QByteArray& stored : {QByteArray(R"([{"fingerprint":"K","name":"Phone"}])"),
                                     QByteArray("not json"), QByteArray(R"({"fingerprint":"K"})")}) {
        profile.settings->setValue(PairedDevices::settingsKey, stored);
        EXPECT_TRUE(PairedDevices(*profile.settings).devices().empty()) << stored.toStdString();
    }
    profile.settings->setValue(PairedDevices::settingsKey,
                               QByteArray(R"([{"fingerprint":"K","name":"Phone","lastSeen":0}])"));
    PairedDevices paired(*profile.settings);
    ASSERT_EQ(paired.devices().size(), 1u);
    EXPECT_EQ(std::chrono::system_clock::to_time_t(paired.devices()[0].lastSeen), 978307200)
        << "dates count from 2001-01-01";
    EXPECT_EQ(paired.devices()[0].deviceID, "") << "a list stored without identifiers still loads";
}

} // namespace
} // namespace tarnwick
