#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Discovery/ConnectDialer.hpp"
#include "ConnectCore/Discovery/ServiceAdvertiser.hpp"
#include "ConnectCore/Discovery/ServiceBrowser.hpp"
#include "ConnectCore/Session/SoftwareIdentity.hpp"
#include "tests/Support/AvahiNamespace.hpp"
#include "tests/Support/ChildProcess.hpp"
#include "tests/Support/RunCoroutine.hpp"
#include "tests/Support/TLSIdentity.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <net/if.h>
#include <sstream>
#include <thread>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using PeerList = std::vector<DiscoveredPeer>;

/// Another device on the script's network, running our advertiser in a process of its own.
class PeerDevice {
public:
    PeerDevice(const std::string& id, const std::string& name)
        : process_(testing::AvahiNamespace::onPeer({std::getenv("TARNWICK_ADVERTISE_DEVICE"), id, name})) {
        std::istringstream line(process_.readLine());
        line >> fingerprint >> port;
    }

    /// Lets the device stop its advertiser, which withdraws the service, and waits for it to end.
    void withdraw() {
        process_.closeInput();
        process_.wait();
    }

    std::string fingerprint;
    std::uint16_t port = 0;

private:
    testing::ChildProcess process_;
};

/// DNS-SD for real, between this process and avahi-daemon on the script's private network.
class AvahiDiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::AvahiNamespace::isRequested()) {
            GTEST_SKIP() << "runs only inside tests/integration/with-avahi-namespace.sh";
        }
        ASSERT_TRUE(testing::AvahiNamespace::isPrivate())
            << "refusing to multicast outside the private network";
        if (!testing::AvahiNamespace::daemonAnswers()) {
            GTEST_SKIP() << "no avahi-daemon answers";
        }
    }

    testing::Engine engine{2};
    testing::TLSIdentity localTLS{"Studio Mac"};
    std::shared_ptr<TWCPParameters::TLSContext> tls =
        TWCPParameters::make(*localTLS.identity, TWCPParameters::Pinning::trustOnFirstUse(nullptr));
    std::shared_ptr<ServiceBrowser> browser = std::make_shared<ServiceBrowser>(engine.executor());

    std::shared_ptr<ServiceAdvertiser> advertiser(const std::string& id, const std::string& name) {
        const SoftwareIdentity identity(id, name, DevicePlatform::macOS, "12", "1.0.0", localTLS.key);
        return std::make_shared<ServiceAdvertiser>(engine.executor(), identity, tls);
    }

    /// The first peer list the browser reports that satisfies the condition, within 20 seconds.
    PeerList awaitList(std::function<bool(const PeerList&)> condition) {
        return engine.run([&]() -> asio::awaitable<PeerList> {
            PeerList found;
            auto search = [&]() -> asio::awaitable<void> {
                while (auto list = co_await browser->peers().next()) {
                    if (condition(*list)) {
                        found = *list;
                        co_return;
                    }
                }
            };
            co_await withTimeout(search(), 20s, std::runtime_error("no such peer list"));
            co_return found;
        }());
    }

    static std::function<bool(const PeerList&)> contains(std::string id) {
        return [id](const PeerList& list) {
            return std::ranges::any_of(list, [&](const DiscoveredPeer& peer) { return peer.id == id; });
        };
    }

    static std::function<bool(const PeerList&)> named(std::string id, std::string name) {
        return [id, name](const PeerList& list) {
            return std::ranges::any_of(
                list, [&](const DiscoveredPeer& peer) { return peer.id == id && peer.name == name; });
        };
    }

    /// The name the advertiser is established under, once it is, within 20 seconds.
    std::string establishedName(ServiceAdvertiser& advertiser) {
        return engine.run([&]() -> asio::awaitable<std::string> {
            for (int attempt = 0; attempt < 200; ++attempt) {
                if (auto name = co_await advertiser.advertisedName()) {
                    co_return *name;
                }
                co_await sleepFor(100ms);
            }
            throw std::runtime_error("never established");
        }());
    }
};

// Two processes on two hosts: the other device advertises, this one finds it with its TXT record,
// dials it where it was found and completes TLS with the key the record announced.
TEST_F(AvahiDiscoveryTest, FindsADeviceOnTheNetworkDialsItAndSeesItWithdrawn) {
    PeerDevice phone("PHONE-ID", "Pocket Phone");
    ASSERT_NE(phone.port, 0);
    engine.run(browser->start());
    const PeerList list = awaitList(contains("PHONE-ID"));
    const auto peer = *std::ranges::find_if(list, [](const auto& peer) { return peer.id == "PHONE-ID"; });
    EXPECT_EQ(peer.name, "Pocket Phone");
    EXPECT_EQ(peer.fingerprint, phone.fingerprint);
    // Whichever sighting resolved first: IPv4, or IPv6 link-local on the veth.
    EXPECT_EQ(peer.endpoint.port(), phone.port);
    const auto address = peer.endpoint.address();
    EXPECT_TRUE(address == asio::ip::make_address("198.18.0.2") ||
                (address.is_v6() && address.to_v6().is_link_local() &&
                 address.to_v6().scope_id() == if_nametoindex("d0")))
        << address;

    const auto channel = engine.run(ConnectDialer::connect(peer.endpoint, tls));
    EXPECT_EQ(channel->authenticatedPeerSPKISHA256(), phone.fingerprint);
    engine.run(channel->close(std::nullopt));

    phone.withdraw();
    awaitList([](const PeerList& list) { return !contains("PHONE-ID")(list); });
}

// A device that restarts comes back under its name on a new port, and a browse that never saw it go keeps
// the old one. Looking it up again, as each failed dial does, lists it where it listens now once its
// announcement is out.
TEST_F(AvahiDiscoveryTest, LooksARestartedDeviceUpAgainAtItsNewPort) {
    engine.run(browser->start());
    std::uint16_t firstPort = 0;
    {
        PeerDevice phone("PHONE-ID", "Pocket Phone");
        firstPort = phone.port;
        awaitList(contains("PHONE-ID"));
        phone.withdraw();
    }
    PeerDevice restarted("PHONE-ID", "Pocket Phone");
    ASSERT_NE(restarted.port, firstPort);
    const auto listedPort = [](const PeerList& list) {
        const auto peer = std::ranges::find_if(list, [](const auto& peer) { return peer.id == "PHONE-ID"; });
        return peer == list.end() ? 0 : peer->endpoint.port();
    };
    std::uint16_t port = 0;
    for (int dial = 0; dial < 20 && port != restarted.port; ++dial) {
        engine.run(browser->resolveAgain("Pocket Phone"));
        port = listedPort(awaitList(contains("PHONE-ID")));
        std::this_thread::sleep_for(250ms);
    }
    EXPECT_EQ(port, restarted.port);
}

// A device elsewhere on the network already holds the name: this one is renamed the way Avahi names
// alternatives and stays findable. (Each test has names of its own: a withdrawn name lingers in caches.)
TEST_F(AvahiDiscoveryTest, TakesAnAlternativeNameWhenAnotherDeviceHasIt) {
    PeerDevice other("OTHER-ID", "Twin Mac");
    engine.run(browser->start());
    awaitList(named("OTHER-ID", "Twin Mac"));

    auto local = advertiser("MAC-ID", "Twin Mac");
    engine.run(local->start(std::nullopt, true));
    EXPECT_EQ(establishedName(*local), "Twin Mac #2");
    awaitList([](const PeerList& list) {
        return named("MAC-ID", "Twin Mac #2")(list) && named("OTHER-ID", "Twin Mac")(list);
    });
}

// Two advertisers on this host with one name: the daemon refuses the second name at once.
TEST_F(AvahiDiscoveryTest, TakesAnAlternativeNameWhenThisHostAlreadyPublishesIt) {
    auto first = advertiser("FIRST-ID", "Desk Mac");
    auto second = advertiser("SECOND-ID", "Desk Mac");
    engine.run(first->start(std::nullopt, true));
    EXPECT_EQ(establishedName(*first), "Desk Mac");
    engine.run(second->start(std::nullopt, true));
    EXPECT_EQ(establishedName(*second), "Desk Mac #2");
}

// The daemon restarts (an upgrade, a crash): browsing loses everything, then both sides come back.
TEST_F(AvahiDiscoveryTest, ComesBackAfterTheDaemonRestarts) {
    auto local = advertiser("SHELF-ID", "Shelf Mac");
    engine.run(local->start(std::nullopt, true));
    engine.run(browser->start());
    awaitList(contains("SHELF-ID"));

    ASSERT_EQ(std::system("avahi-daemon -k"), 0);
    awaitList([](const PeerList& list) { return list.empty(); });
    while (std::system("avahi-daemon --check 2>/dev/null") == 0) {
        std::this_thread::sleep_for(50ms);
    }
    const std::string restart =
        std::string("avahi-daemon --no-drop-root --no-chroot -D -f ") + std::getenv("TARNWICK_AVAHI_CONFIG");
    ASSERT_EQ(std::system(restart.c_str()), 0);

    awaitList(named("SHELF-ID", "Shelf Mac"));
    EXPECT_EQ(establishedName(*local), "Shelf Mac");
}

} // namespace
} // namespace tarnwick
