#include "ConnectCore/Discovery/VisibleServices.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using Instance = VisibleServices::Instance;

DiscoveredPeer peer(std::string name, std::string address) {
    return *DiscoveredPeer::fromService(std::move(name), TXTRecord::decode({"pid=" + address, "spki=K"}),
                                        {asio::ip::make_address(address), 4242});
}

// The same service seen over IPv6 and IPv4, and on a second interface, is one device in the list.
TEST(VisibleServicesTest, ListsEachServiceOnceAndPrefersAnIPv4Address) {
    VisibleServices visible;
    visible.resolved({"Studio Mac", "local", 2, 1}, peer("Studio Mac", "fe80::1"));
    visible.resolved({"Studio Mac", "local", 2, 0}, peer("Studio Mac", "198.18.0.1"));
    visible.resolved({"Studio Mac", "local", 3, 1}, peer("Studio Mac", "fe80::2"));
    visible.resolved({"Pocket Phone", "local", 2, 0}, peer("Pocket Phone", "198.18.0.2"));
    auto list = visible.peers();
    ASSERT_EQ(list.size(), 2u);
    const auto& mac = list[0].name == "Studio Mac" ? list[0] : list[1];
    EXPECT_EQ(mac.endpoint.address().to_string(), "198.18.0.1");

    // When the IPv4 sighting goes, the service is still there at another address.
    EXPECT_TRUE(visible.removed({"Studio Mac", "local", 2, 0}));
    list = visible.peers();
    ASSERT_EQ(list.size(), 2u);
    const auto& remaining = list[0].name == "Studio Mac" ? list[0] : list[1];
    EXPECT_TRUE(remaining.endpoint.address().is_v6());

    EXPECT_FALSE(visible.removed({"Studio Mac", "local", 2, 0}));
}

TEST(VisibleServicesTest, AResolutionWithoutAPeerTakesTheInstanceOut) {
    VisibleServices visible;
    const Instance instance{"Studio Mac", "local", 2, 0};
    visible.resolved(instance, peer("Studio Mac", "198.18.0.1"));
    visible.resolved(instance, std::nullopt);
    EXPECT_TRUE(visible.peers().empty());
}

} // namespace
} // namespace tarnwick
