#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Reachability/NetworkAvailability.hpp"
#include "ConnectCore/Reachability/Reachability.hpp"
#include "tests/Support/NetworkNamespace.hpp"
#include "tests/Support/RunCoroutine.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>
#include <sys/resource.h>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

TEST(ReachabilityTest, AssumesANetworkUntilItReadsOne) {
    testing::Engine engine;
    const auto reachability = std::make_shared<Reachability>(engine.executor());
    EXPECT_EQ(engine.run(reachability->diagnose(2, std::nullopt)), ReachabilityDiagnosis::reachable());
}

// Exits with 0 when listening is refused while no descriptor may be opened, and the answer stays once
// descriptors are allowed again.
[[noreturn]] void probeWithoutDescriptorsThenWith() {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit none{3, limit.rlim_max};
    setrlimit(RLIMIT_NOFILE, &none);
    const bool first = NetworkAvailability::canBindListener();
    setrlimit(RLIMIT_NOFILE, &limit);
    const bool second = NetworkAvailability::canBindListener();
    std::_Exit(!first && !second ? 0 : 1);
}

TEST(NetworkAvailabilityTest, ProbesOncePerProcess) {
    // A fresh process runs this test again up to the statement, so its first read is the probe.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(probeWithoutDescriptorsThenWith(), ::testing::ExitedWithCode(0), "");
}

/// A network namespace of the test's own (see tests/CMakeLists.txt), where interfaces may be changed.
class NetworkNamespaceReachabilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* marker = std::getenv("TARNWICK_NETWORK_NAMESPACE");
        if (!marker || std::string(marker) != "inside") {
            GTEST_SKIP() << "runs only in a network namespace made for it";
        }
        ASSERT_TRUE(testing::seesOnlyInterfaces({"lo"})) << "refusing to change interfaces outside it";
    }

    static void ip(const std::string& arguments) { ASSERT_EQ(std::system(("ip " + arguments).c_str()), 0); }

    /// Whether the monitor reaches the expected reading within five seconds.
    bool reaches(bool expected) {
        return engine.run([&]() -> asio::awaitable<bool> {
            for (int attempt = 0; attempt < 250; ++attempt) {
                if (co_await reachability->isSatisfied() == expected) {
                    co_return true;
                }
                co_await sleepFor(20ms);
            }
            co_return false;
        }());
    }

    std::vector<bool> reported() {
        std::lock_guard lock(reportsMutex);
        return reports;
    }

    testing::Engine engine;
    std::mutex reportsMutex;
    std::vector<bool> reports;
    std::shared_ptr<Reachability> reachability =
        std::make_shared<Reachability>(engine.executor(), [this](bool satisfied) {
            std::lock_guard lock(reportsMutex);
            reports.push_back(satisfied);
        });
};

TEST_F(NetworkNamespaceReachabilityTest, FollowsAddressesAndCarrierComingAndGoing) {
    engine.run(reachability->start());
    EXPECT_FALSE(engine.run(reachability->isSatisfied()));
    EXPECT_EQ(engine.run(reachability->diagnose(3, "iPad")), ReachabilityDiagnosis::offline());

    // Loopback and a link with only its link-local IPv6 address are no way to reach anyone.
    ip("link set lo up");
    ip("link add v0 type veth peer name v1");
    ip("link set v0 up");
    ip("link set v1 up");
    EXPECT_TRUE(reaches(false));

    ip("addr add 198.18.1.1/24 dev v0");
    EXPECT_TRUE(reaches(true));
    EXPECT_EQ(engine.run(reachability->diagnose(0, std::nullopt)), ReachabilityDiagnosis::noPeers());
    ip("addr del 198.18.1.1/24 dev v0");
    EXPECT_TRUE(reaches(false));

    ip("addr add 2001:db8::1/64 dev v0 nodad");
    EXPECT_TRUE(reaches(true));
    // The other end going down takes the carrier away.
    ip("link set v1 down");
    EXPECT_TRUE(reaches(false));
    ip("link set v1 up");
    EXPECT_TRUE(reaches(true));

    engine.run(reachability->stop());
    ip("link del v0");
    EXPECT_TRUE(engine.run(reachability->isSatisfied()));

    // The observer hears the first reading and each change once, whatever the burst of kernel reports.
    const auto heard = reported();
    ASSERT_GE(heard.size(), 5u);
    EXPECT_FALSE(heard.front());
    EXPECT_TRUE(heard.back());
    EXPECT_EQ(std::ranges::adjacent_find(heard), heard.end()) << "no reading is told twice in a row";
}

} // namespace
} // namespace tarnwick
