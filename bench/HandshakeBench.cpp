// Handshakes between two devices that are already paired: over an in-memory pair (the session's own
// cost), and over loopback TLS from TCP connect to a ready session on both sides.
#include "ConnectCore/Discovery/ConnectDialer.hpp"
#include "ConnectCore/Identity/DeviceIdentity.hpp"
#include "ConnectCore/Session/SoftwareIdentity.hpp"
#include "ConnectCore/Session/StaticPairingPolicy.hpp"
#include "ConnectCore/Session/TWCPSession.hpp"
#include "tests/Support/SessionFixture.hpp"

#include <asio/experimental/awaitable_operators.hpp>
#include <benchmark/benchmark.h>

#include <algorithm>

namespace tarnwick {
namespace {

using namespace asio::experimental::awaitable_operators;
using tcp = asio::ip::tcp;

void BM_PairedHandshake(benchmark::State& state) {
    testing::Engine engine(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        // Key generation belongs to start-up, not to the handshake.
        state.PauseTiming();
        testing::SessionPair pair(engine.executor(), {});
        state.ResumeTiming();
        const auto [first, second] = engine.run(pair.handshake());
        if (first || second) {
            state.SkipWithError("handshake failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PairedHandshake)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMicrosecond);

/// One device of the TLS benchmark: its keys and TLS setup. Once paired with its peer, it has the identity
/// that knows the peer's key; building that is start-up work, outside the timed handshakes.
struct Device {
    P256PrivateKey key = P256PrivateKey::generate();
    DeviceIdentity device;
    std::shared_ptr<TWCPParameters::TLSContext> tls;
    std::shared_ptr<SoftwareIdentity> trustingPeer;
    std::string peerSPKISHA256;

    explicit Device(const std::string& name)
        : device(DeviceIdentity::software(name, name, DevicePlatform::macOS, "", "", key)),
          tls(TWCPParameters::make(*device.secIdentity(),
                                   TWCPParameters::Pinning::trustOnFirstUse(nullptr))) {}

    SoftwareIdentity identity() const {
        return SoftwareIdentity(device.deviceID(), device.deviceName(), DevicePlatform::macOS, "", "", key);
    }

    void pair(const Device& peer) {
        trustingPeer = std::make_shared<SoftwareIdentity>(identity().trusting(peer.identity()));
        peerSPKISHA256 = peer.device.spkiSHA256();
    }

    std::shared_ptr<TWCPSession> session(const asio::any_io_executor& executor, TWCPRole role,
                                         std::shared_ptr<TWCPChannel> channel) const {
        auto policy = std::make_shared<StaticPairingPolicy>(executor, std::set{peerSPKISHA256}, true);
        auto session =
            std::make_shared<TWCPSession>(executor, role, std::move(channel), trustingPeer, policy);
        session->start();
        return session;
    }
};

asio::awaitable<std::shared_ptr<TWCPNetworkChannel>>
acceptOne(tcp::acceptor& acceptor, std::shared_ptr<TWCPParameters::TLSContext> tls) {
    auto socket = co_await acceptor.async_accept(asio::use_awaitable);
    auto channel = std::make_shared<TWCPNetworkChannel>(std::move(socket), std::move(tls),
                                                        TWCPNetworkChannel::Side::server);
    co_await channel->start();
    co_return channel;
}

/// Microseconds from the TCP connect until both sessions are ready; the connection is closed afterwards.
asio::awaitable<double> connectUntilReady(tcp::acceptor& acceptor, const Device& client,
                                          const Device& server) {
    const auto executor = co_await asio::this_coro::executor;
    const auto began = std::chrono::steady_clock::now();
    auto [dialed, accepted] = co_await (ConnectDialer::connect(acceptor.local_endpoint(), client.tls) &&
                                        acceptOne(acceptor, server.tls));
    auto initiator = client.session(executor, TWCPRole::initiator, dialed);
    auto responder = server.session(executor, TWCPRole::responder, accepted);
    const auto timeout = std::chrono::seconds(5);
    co_await (initiator->handshake(timeout) && responder->handshake(timeout));
    const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - began;
    co_await (initiator->close(std::nullopt) && responder->close(std::nullopt));
    co_return took.count();
}

void BM_LoopbackTLSHandshake(benchmark::State& state) {
    // One engine thread, as the programs run it.
    testing::Engine engine(1);
    Device client("Client");
    Device server("Server");
    client.pair(server);
    server.pair(client);
    tcp::acceptor acceptor(engine.executor(), tcp::endpoint(asio::ip::address_v4::loopback(), 0));
    std::vector<double> microseconds;
    for (auto _ : state) {
        microseconds.push_back(engine.run(connectUntilReady(acceptor, client, server)));
    }
    std::nth_element(microseconds.begin(), microseconds.begin() + microseconds.size() / 2,
                     microseconds.end());
    state.counters["median_connect_to_ready_us"] = microseconds[microseconds.size() / 2];
}
BENCHMARK(BM_LoopbackTLSHandshake)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tarnwick
