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
    EXPECT_NE(D::blockedByNetwork("iPad"), D::blockedByNetwork("iPhone"));
}

TEST(ReachabilityDiagnosisTest, ExplainsInTheUsersWordsWithANonBreakingHyphenInWiFi) {
    EXPECT_EQ(ReachabilityDiagnosis::reachable().explanation(), "Ready.");
    EXPECT_EQ(ReachabilityDiagnosis::offline().explanation(), "This computer is not on a network.");
    EXPECT_EQ(ReachabilityDiagnosis::noPeers().explanation(),
              "No devices nearby. Open Tarnwick on your phone, on the same Wi\xE2\x80\x91"
              "Fi.");
    EXPECT_EQ(ReachabilityDiagnosis::blockedByNetwork("Studio iPad").explanation(),
              "Studio iPad is on this network but will not accept a direct connection. Guest and hotel "
              "Wi\xE2\x80\x91"
              "Fi often block devices from talking to each other.");
    EXPECT_TRUE(ReachabilityDiagnosis::blockedByNetwork("").explanation().starts_with(" is on this network"));
    for (const auto& diagnosis :
         {ReachabilityDiagnosis::noPeers(), ReachabilityDiagnosis::blockedByNetwork("x")}) {
        EXPECT_EQ(diagnosis.explanation().find("Wi-Fi"), std::string::npos);
    }
}

TEST(ReachabilityDiagnosisTest, OnlyABlockingNetworkSuggestsTheCloud) {
    EXPECT_TRUE(ReachabilityDiagnosis::blockedByNetwork("iPad").suggestsCloudFallback());
    EXPECT_FALSE(ReachabilityDiagnosis::reachable().suggestsCloudFallback());
    EXPECT_FALSE(ReachabilityDiagnosis::offline().suggestsCloudFallback());
    EXPECT_FALSE(ReachabilityDiagnosis::noPeers().suggestsCloudFallback());
}

} // namespace
} // namespace tarnwick
