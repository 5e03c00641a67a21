#include "ConnectCore/Discovery/ConnectService.hpp"
#include "ConnectCore/Discovery/TXTRecord.hpp"
#include "ConnectCore/Session/SoftwareIdentity.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(TXTRecordTest, ReadsStringsTheDNSSDWay) {
    const auto record =
        TXTRecord::decode({"pid=A=B", "", "=hidden", "flag", "PID=second", "empty=", "Cap=7"});
    EXPECT_EQ(record.value("pid"), "A=B");
    EXPECT_EQ(record.value("Pid"), "A=B");
    EXPECT_EQ(record.value("flag"), std::nullopt);
    EXPECT_EQ(record.value("empty"), "");
    EXPECT_EQ(record.value("cap"), "7");
    EXPECT_EQ(record.value("hidden"), std::nullopt);
    EXPECT_EQ(record.entries().size(), 4u);
}

TEST(TXTRecordTest, EncodesWhatItDecodesAndRefusesWhatDNSCannotCarry) {
    const TXTRecord record({{"v", "1"}, {"flag", std::nullopt}, {"os", ""}});
    EXPECT_EQ(record.encode(), (std::vector<std::string>{"v=1", "flag", "os="}));
    EXPECT_EQ(TXTRecord::decode(record.encode()), record);

    using Entries = std::vector<TXTRecord::Entry>;
    // "os=" and 252 bytes make 255.
    EXPECT_NO_THROW(TXTRecord(Entries{{"os", std::string(252, 'x')}}).encode());
    EXPECT_THROW(TXTRecord(Entries{{"os", std::string(253, 'x')}}).encode(), TWCPError);
    EXPECT_THROW(TXTRecord(Entries{{"a=b", "c"}}).encode(), TWCPError);
    EXPECT_THROW(TXTRecord(Entries{{"", "c"}}).encode(), TWCPError);
}

TEST(ConnectServiceTest, ThisDeviceAnnouncesExactlySixKeysInOrder) {
    const SoftwareIdentity identity("DEVICE-ID", "Studio Mac", DevicePlatform::macOS, "Debian GNU/Linux 12",
                                    "1.0.0", P256PrivateKey::generate());
    EXPECT_EQ(ConnectService::txtRecord(identity).encode(),
              (std::vector<std::string>{"v=1", "pid=DEVICE-ID", "spki=" + identity.spkiSHA256(), "mdl=macOS",
                                        "os=Debian GNU/Linux 12", "cap=31"}));
}

// A DNS label holds 63 bytes; a longer device name must still give a valid instance name.
TEST(ConnectServiceTest, InstanceNamesFitInOneLabelWithoutSplittingACharacter) {
    EXPECT_EQ(ConnectService::instanceName("Studio Mac"), "Studio Mac");
    EXPECT_EQ(ConnectService::instanceName(""), "Tarnwick Connect");
    EXPECT_EQ(ConnectService::instanceName(std::string(70, 'a')), std::string(63, 'a'));
    // 31 two-byte characters fill 62 bytes; the 32nd would straddle the limit and is left out.
    std::string accented;
    for (int i = 0; i < 40; ++i) {
        accented += "\xC3\xA9";
    }
    EXPECT_EQ(ConnectService::instanceName(accented), accented.substr(0, 62));
}

} // namespace
} // namespace tarnwick
