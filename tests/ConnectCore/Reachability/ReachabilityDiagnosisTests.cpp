#include "ConnectCore/Reachability/ReachabilityDiagnosis.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(ReachabilityDiagnosisTest, ChecksNetworkThenFailedPeerThenPeerCount) {
    using D = ReachabilityDiagnosis;
    EXPECT_EQ(D::make(true, 0, "iPad"), D::noPeers());
    EXPECT_EQ(D::make(true, 2, "iPad"), D::blockedByNetwork("iPad"));
    EXPECT_EQ(D::make(true, 1, std::nullopt), D::reachable());
    EXPECT_EQ(D::make(true, -1, std::nullopt), D::noPeers());
    for (const auto& failed : {std::optional<std::string>{}, std::optional<std::string>{"iPad"}}) {
        for (const int count : {-1, 0, 1, 5}) {
            EXPECT_EQ(D::make(false, count, failed), D::offline());
        }
    }
}

} // namespace
} // namespace tarnwick
