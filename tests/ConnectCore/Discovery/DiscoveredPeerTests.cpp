#include "ConnectCore/Discovery/DiscoveredPeer.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

const asio::ip::tcp::endpoint somewhere(asio::ip::make_address("198.18.0.7"), 4242);

std::optional<DiscoveredPeer> peerWith(std::vector<std::string> txt, std::string name = "Studio iPad") {
    return DiscoveredPeer::fromService(std::move(name), TXTRecord::decode(txt), somewhere);
}

TEST(DiscoveredPeerTest, NeedsIdentifierAndKeyOnly) {
    EXPECT_TRUE(peerWith({"pid=ID-1", "spki=KEY"}));
    EXPECT_FALSE(peerWith({"v=1", "spki=KEY", "mdl=iOS", "os=17", "cap=31"}));
    EXPECT_FALSE(peerWith({"v=1", "pid=ID-1", "mdl=iOS", "os=17", "cap=31"}));
    // A key written as a flag carries no value to use.
    EXPECT_FALSE(peerWith({"pid", "spki=KEY"}));
}

TEST(DiscoveredPeerTest, ReadsCapabilitiesAsAnUnsigned32BitNumber) {
    const auto capabilities = [](std::string cap) {
        return peerWith({"pid=ID-1", "spki=KEY", "cap=" + cap})->capabilities;
    };
    EXPECT_EQ(capabilities("10"), PeerCapabilities{PeerCapabilities::watchFolder | PeerCapabilities::resume});
    EXPECT_EQ(capabilities("+10").rawValue, 10u);
    EXPECT_EQ(capabilities("4294967295").rawValue, 4294967295u);
    for (const char* bad : {"abc", "-1", "", "4294967296", "+", "++1", " 1", "1 ", "0x1f", "+-1"}) {
        EXPECT_EQ(capabilities(bad), PeerCapabilities{}) << bad;
    }
}

TEST(DiscoveredPeerTest, SameDeviceUnderTwoNamesComparesEqual) {
    EXPECT_EQ(peerWith({"pid=ID-1", "spki=KEY"}, "Studio iPad"), peerWith({"pid=ID-1", "spki=KEY"}, "iPad"));
    EXPECT_NE(peerWith({"pid=ID-1", "spki=KEY"}), peerWith({"pid=ID-1", "spki=OTHER"}));
}

} // namespace
} // namespace tarnwick
