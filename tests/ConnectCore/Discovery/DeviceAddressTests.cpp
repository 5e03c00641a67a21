#include "ConnectCore/Discovery/DeviceAddress.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(DeviceAddressTest, ReadsHostAndPortAsTyped) {
    EXPECT_EQ(DeviceAddress::parse("198.18.1.2:47810"), (DeviceAddress{"198.18.1.2", 47810}));
    EXPECT_EQ(DeviceAddress::parse("laptop.local:1"), (DeviceAddress{"laptop.local", 1}));
    EXPECT_EQ(DeviceAddress::parse("[fe80::1%eth0]:47810"), (DeviceAddress{"fe80::1%eth0", 47810}));
    EXPECT_EQ(DeviceAddress::parse("[fe80::1%eth0]:47810")->text(), "[fe80::1%eth0]:47810");
    EXPECT_EQ(DeviceAddress::parse("laptop:65535")->text(), "laptop:65535");
}

TEST(DeviceAddressTest, RefusesWhatIsNotHostColonPort) {
    for (const char* text : {"laptop", "laptop:", ":47810", "laptop:0", "laptop:65536", "laptop:47810x",
                             "laptop:-1", "fe80::1:47810", "[]:47810", "laptop: 47810"}) {
        EXPECT_FALSE(DeviceAddress::parse(text)) << text;
    }
}

} // namespace
} // namespace tarnwick
