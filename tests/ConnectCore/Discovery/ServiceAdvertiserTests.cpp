#include "ConnectCore/Async/Completion.hpp"
#include "ConnectCore/Discovery/ConnectDialer.hpp"
#include "ConnectCore/Discovery/ServiceAdvertiser.hpp"
#include "ConnectCore/Session/SoftwareIdentity.hpp"
#include "tests/Support/RunCoroutine.hpp"
#include "tests/Support/TLSIdentity.hpp"

#include <asio/experimental/as_tuple.hpp>
#include <asio/write.hpp>
#include <gtest/gtest.h>

#include <algorithm>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

/// This device's listener, without DNS-SD, and a device that dials it over loopback.
class ServiceAdvertiserTest : public ::testing::Test {
protected:
    testing::Engine engine{2};
    testing::TLSIdentity serverIdentity{"Studio Mac"};
    testing::TLSIdentity clientIdentity{"Pocket Phone"};
    SoftwareIdentity server{"SERVER-ID", "Studio Mac", DevicePlatform::macOS,
                            "12",        "1.0.0",      serverIdentity.key};
    std::shared_ptr<TWCPParameters::TLSContext> clientTLS =
        TWCPParameters::make(*clientIdentity.identity, TWCPParameters::Pinning::trustOnFirstUse(nullptr));

    std::shared_ptr<ServiceAdvertiser> advertiser(Clock::duration tlsTimeout = 10s) {
        return std::make_shared<ServiceAdvertiser>(
            engine.executor(), server,
            TWCPParameters::make(*serverIdentity.identity, TWCPParameters::Pinning::trustOnFirstUse(nullptr)),
            tlsTimeout);
    }

    static tcp::endpoint loopback(std::uint16_t port) { return {asio::ip::address_v4::loopback(), port}; }

    /// Dials and returns the dialed channel and the one the advertiser handed out.
    asio::awaitable<std::pair<std::shared_ptr<TWCPNetworkChannel>, std::shared_ptr<TWCPNetworkChannel>>>
    dialAndAccept(std::shared_ptr<ServiceAdvertiser> listener, std::uint16_t port) {
        auto dialed = co_await ConnectDialer::connect(loopback(port), clientTLS);
        auto accepted = co_await listener->connections().next();
        co_return std::pair{dialed, accepted.value_or(nullptr)};
    }
};

TEST_F(ServiceAdvertiserTest, HandsOutChannelsThatCompletedTLS) {
    auto listener = advertiser();
    const auto [dialed, accepted] = engine.run(
        [&]() -> asio::awaitable<
                  std::pair<std::shared_ptr<TWCPNetworkChannel>, std::shared_ptr<TWCPNetworkChannel>>> {
            const std::uint16_t port = co_await listener->start(std::nullopt, false);
            EXPECT_EQ(co_await listener->advertisedName(), std::nullopt);
            // A stranger that does not speak TLS is dropped without a trace.
            tcp::socket stranger(co_await asio::this_coro::executor);
            co_await stranger.async_connect(loopback(port), asio::use_awaitable);
            co_await asio::async_write(stranger, asio::buffer(std::string(64, 'x')), asio::use_awaitable);
            co_return co_await dialAndAccept(listener, port);
        }());
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->authenticatedPeerSPKISHA256(), clientIdentity.spkiSHA256);
    EXPECT_EQ(dialed->authenticatedPeerSPKISHA256(), serverIdentity.spkiSHA256);
}

TEST_F(ServiceAdvertiserTest, StopEndsTheStreamAndTheListener) {
    auto neverStarted = advertiser();
    engine.run(neverStarted->stop());
    EXPECT_EQ(engine.run(neverStarted->connections().next()), std::nullopt);

    auto listener = advertiser();
    const std::uint16_t port = engine.run(listener->start(std::nullopt, false));
    engine.run(listener->stop());
    EXPECT_EQ(engine.run(listener->connections().next()), std::nullopt);
    EXPECT_THROW(engine.run(ConnectDialer::connect(loopback(port), clientTLS)), asio::system_error);
}

TEST_F(ServiceAdvertiserTest, StartingOnAPortInUseFails) {
    auto first = advertiser();
    const std::uint16_t port = engine.run(first->start(std::nullopt, false));
    // Allowing address reuse must not let a second listener share a live port.
    EXPECT_THROW(engine.run(advertiser()->start(port, false)), asio::system_error);
}

/// A connection to the port from the given loopback address, which stands for another host.
asio::awaitable<tcp::socket> connectFrom(asio::ip::address_v4 from, std::uint16_t port) {
    tcp::socket socket(co_await asio::this_coro::executor);
    socket.open(tcp::v4());
    socket.bind({from, 0});
    co_await socket.async_connect(tcp::endpoint(asio::ip::address_v4::loopback(), port), asio::use_awaitable);
    co_return socket;
}

asio::ip::address_v4 host(int number) {
    return asio::ip::make_address_v4("127.0.0." + std::to_string(number));
}

/// When each flood connection was closed by the listener, measured from the start of the flood.
asio::awaitable<std::vector<Clock::duration>> closingTimes(std::vector<tcp::socket>& sockets,
                                                           Clock::time_point start) {
    std::vector<Clock::duration> closed(sockets.size());
    std::vector<char> bytes(sockets.size());
    std::atomic<std::size_t> remaining = sockets.size();
    const Completion<bool> allClosed(co_await asio::this_coro::executor);
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        sockets[i].async_read_some(asio::buffer(&bytes[i], 1), [&, i](asio::error_code, std::size_t) {
            closed[i] = Clock::now() - start;
            if (--remaining == 0) {
                allClosed.resume(true);
            }
        });
    }
    co_await allClosed.wait();
    co_return closed;
}

// Silent strangers on many hosts may hold ten places until the TLS deadline; the rest are closed at once,
// and a real device gets through as soon as the places are free again.
TEST_F(ServiceAdvertiserTest, AFloodOfSilentConnectionsHoldsOffADeviceOnlyUntilTheTLSDeadline) {
    constexpr int floodSize = 200;
    constexpr auto deadline = 2s;
    auto listener = advertiser(deadline);
    struct Outcome {
        std::vector<Clock::duration> closed;
        bool refusedWhileFull = false;
        bool deviceAccepted = false;
    };
    const Outcome outcome = engine.run([&]() -> asio::awaitable<Outcome> {
        const auto executor = co_await asio::this_coro::executor;
        const std::uint16_t port = co_await listener->start(std::nullopt, false);
        Outcome result;
        const auto start = Clock::now();
        std::vector<tcp::socket> flood;
        for (int i = 0; i < floodSize; ++i) {
            flood.push_back(co_await connectFrom(host(2 + i % 50), port));
        }
        // A device that dials while every place is taken is turned away at once, not left hanging.
        try {
            co_await ConnectDialer::connect(loopback(port), clientTLS);
        } catch (const std::exception&) {
            result.refusedWhileFull = true;
        }
        result.closed = co_await closingTimes(flood, start);
        auto [dialed, accepted] = co_await dialAndAccept(listener, port);
        result.deviceAccepted = accepted != nullptr;
        co_return result;
    }());

    const auto heldUntilDeadline =
        std::ranges::count_if(outcome.closed, [&](auto at) { return at >= deadline; });
    const auto closedAtOnce =
        std::ranges::count_if(outcome.closed, [&](auto at) { return at < deadline / 2; });
    EXPECT_EQ(heldUntilDeadline, ServiceAdvertiser::maximumWaitingConnections);
    EXPECT_EQ(closedAtOnce, floodSize - ServiceAdvertiser::maximumWaitingConnections);
    EXPECT_TRUE(outcome.refusedWhileFull);
    EXPECT_TRUE(outcome.deviceAccepted);
}

// One host cannot take every place: past three of its connections, the next is closed at once, and a
// device elsewhere still gets through.
TEST_F(ServiceAdvertiserTest, OneHostHoldsAtMostThreePlaces) {
    auto listener = advertiser(2s);
    const auto [closed, accepted] = engine.run(
        [&]()
            -> asio::awaitable<std::pair<std::vector<Clock::duration>, std::shared_ptr<TWCPNetworkChannel>>> {
            const std::uint16_t port = co_await listener->start(std::nullopt, false);
            const auto start = Clock::now();
            std::vector<tcp::socket> silent;
            for (int i = 0; i < 6; ++i) {
                silent.push_back(co_await connectFrom(host(7), port));
            }
            auto [dialed, channel] = co_await dialAndAccept(listener, port);
            co_return std::pair{co_await closingTimes(silent, start), channel};
        }());
    EXPECT_TRUE(accepted);
    EXPECT_EQ(std::ranges::count_if(closed, [](auto at) { return at < 1s; }), 3);
}

} // namespace
} // namespace tarnwick
