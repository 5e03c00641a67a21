#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Channel/TWCPNetworkChannel.hpp"
#include "ConnectCore/Identity/DeviceIdentity.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"
#include "tests/Support/SessionFixture.hpp"

#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/ssl/stream.hpp>
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <mutex>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using namespace asio::experimental::awaitable_operators;
using tcp = asio::ip::tcp;
using Side = TWCPNetworkChannel::Side;

/// Two devices connected over TLS on loopback.
class NetworkChannelTest : public ::testing::Test {
protected:
    testing::Engine engine{2};
    const P256PrivateKey clientKey = P256PrivateKey::generate();
    const P256PrivateKey serverKey = P256PrivateKey::generate();
    const DeviceIdentity clientIdentity =
        DeviceIdentity::software("CLIENT", "Client", DevicePlatform::macOS, "", "", clientKey);
    const DeviceIdentity serverIdentity =
        DeviceIdentity::software("SERVER", "Server", DevicePlatform::iOS, "", "", serverKey);
    std::mutex observedMutex;
    std::vector<Bytes> observedByServer;

    std::shared_ptr<TWCPParameters::TLSContext> clientTLS = TWCPParameters::make(
        *clientIdentity.secIdentity(), TWCPParameters::Pinning::trustOnFirstUse(nullptr));

    std::shared_ptr<TWCPParameters::TLSContext> serverTLS(bool trusts = true) {
        return TWCPParameters::make(*serverIdentity.secIdentity(),
                                    {[trusts](const std::string&) { return trusts; },
                                     [this](const Bytes& spki) {
                                         std::lock_guard lock(observedMutex);
                                         observedByServer.push_back(spki);
                                     }});
    }

    /// A connected socket pair: (dialed, accepted).
    std::pair<tcp::socket, tcp::socket> connectedSockets() {
        tcp::acceptor acceptor(engine.executor(), tcp::endpoint(asio::ip::address_v4::loopback(), 0));
        tcp::socket dialed(engine.executor());
        dialed.connect(acceptor.local_endpoint());
        tcp::socket accepted = acceptor.accept();
        return {std::move(dialed), std::move(accepted)};
    }

    /// A client set up by hand: the highest TLS version it speaks, its ALPN list in wire form (empty:
    /// none offered), and whether it presents this test's client certificate.
    std::unique_ptr<asio::ssl::context> strangerContext(int maximumVersion, std::string alpn,
                                                        bool withCertificate) {
        auto context = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_client);
        SSL_CTX* native = context->native_handle();
        SSL_CTX_set_max_proto_version(native, maximumVersion);
        if (!alpn.empty()) {
            SSL_CTX_set_alpn_protos(native, reinterpret_cast<const unsigned char*>(alpn.data()),
                                    static_cast<unsigned>(alpn.size()));
        }
        if (withCertificate) {
            SSL_CTX_use_certificate(native, clientIdentity.secIdentity()->certificate());
            SSL_CTX_use_PrivateKey(native, clientIdentity.secIdentity()->privateKey());
        }
        context->set_verify_mode(asio::ssl::verify_none);
        return context;
    }

    /// Whether a server channel's start fails against that client.
    bool serverRefuses(std::unique_ptr<asio::ssl::context> clientContext) {
        auto [dialed, accepted] = connectedSockets();
        auto server = std::make_shared<TWCPNetworkChannel>(std::move(accepted), serverTLS(), Side::server);
        asio::ssl::stream<tcp::socket> stranger(std::move(dialed), *clientContext);
        return engine.run([&]() -> asio::awaitable<bool> {
            auto strangerHandshake = [](asio::ssl::stream<tcp::socket>& stream) -> asio::awaitable<void> {
                // The stranger's own outcome does not matter; the server's does.
                co_await stream.async_handshake(asio::ssl::stream_base::client,
                                                asio::experimental::as_tuple(asio::use_awaitable));
            };
            try {
                co_await (server->start() && strangerHandshake(stranger));
            } catch (const std::exception&) {
                co_return true;
            }
            co_return false;
        }());
    }

    struct Pair {
        std::shared_ptr<TWCPNetworkChannel> client;
        std::shared_ptr<TWCPNetworkChannel> server;
    };

    Pair startedPair(std::shared_ptr<TWCPParameters::TLSContext> server) {
        auto [dialed, accepted] = connectedSockets();
        Pair pair{std::make_shared<TWCPNetworkChannel>(std::move(dialed), clientTLS, Side::client),
                  std::make_shared<TWCPNetworkChannel>(std::move(accepted), std::move(server), Side::server)};
        engine.run(
            [&]() -> asio::awaitable<void> { co_await (pair.client->start() && pair.server->start()); }());
        return pair;
    }

    /// How many frames arrive: the first may take up to 10 s on a loaded machine, each further one is
    /// counted when it follows within `quiet` of the one before.
    static asio::awaitable<int> countArriving(AsyncQueue<TWCPFrame> inbound,
                                              std::chrono::milliseconds quiet) {
        int count = 0;
        try {
            for (;;) {
                co_await withTimeout(nextFrame(inbound), count == 0 ? std::chrono::milliseconds(10s) : quiet,
                                     TWCPError::handshakeTimeout());
                ++count;
            }
        } catch (const TWCPError&) {
        }
        co_return count;
    }

    static asio::awaitable<void> nextFrame(AsyncQueue<TWCPFrame> inbound) {
        const auto frame = co_await inbound.next();
        if (!frame) {
            throw TWCPError::peerClosed();
        }
    }

    static asio::awaitable<std::optional<TWCPError>> endOf(AsyncQueue<TWCPFrame> inbound) {
        try {
            while (co_await inbound.next()) {
            }
        } catch (const TWCPError& error) {
            co_return error;
        }
        co_return std::nullopt;
    }
};

TWCPFrame flowFrame() {
    return TWCPFrame(TWCPFrameKind::flow, {}, 3, Bytes(2, '{'));
}

TEST_F(NetworkChannelTest, CarriesFramesBothWaysAndKnowsEachOthersKey) {
    auto pair = startedPair(serverTLS());
    EXPECT_EQ(pair.client->authenticatedPeerSPKISHA256(), serverIdentity.spkiSHA256());
    EXPECT_EQ(pair.server->authenticatedPeerSPKISHA256(), clientIdentity.spkiSHA256());
    ASSERT_EQ(observedByServer.size(), 1u);
    EXPECT_EQ(SPKIFingerprint::compute(observedByServer[0]), clientIdentity.spkiSHA256());

    const TWCPFrame big(TWCPFrameKind::ping, {}, 7, Bytes(20'000, 0x5A));
    const auto [toServer, toClient] =
        engine.run([&]() -> asio::awaitable<std::pair<std::optional<TWCPFrame>, std::optional<TWCPFrame>>> {
            co_await pair.client->send(big);
            co_await pair.server->send(flowFrame());
            auto first = co_await pair.server->inbound().next();
            auto second = co_await pair.client->inbound().next();
            co_return std::pair{first, second};
        }());
    EXPECT_EQ(toServer, big);
    EXPECT_EQ(toClient, flowFrame());
}

// Thirty-two unconsumed frames stop the reading; each acknowledgement lets one more through.
TEST_F(NetworkChannelTest, HoldsBackReadingAtThirtyTwoUnconsumedFrames) {
    auto pair = startedPair(serverTLS());
    const auto [first, afterOne] = engine.run([&]() -> asio::awaitable<std::pair<int, int>> {
        for (int i = 0; i < 40; ++i) {
            co_await pair.client->send(flowFrame());
        }
        // Quiet long enough that a loaded machine (the sanitizer suite runs two at a time) still
        // delivers every frame the channel lets through before the count ends.
        const int first = co_await countArriving(pair.server->inbound(), 1500ms);
        co_await pair.server->frameConsumed();
        const int more = co_await countArriving(pair.server->inbound(), 1500ms);
        co_return std::pair{first, more};
    }());
    EXPECT_EQ(first, 32);
    EXPECT_EQ(afterOne, 1);
}

TEST_F(NetworkChannelTest, EndsWithPeerClosedWhenThePeerGoes) {
    auto pair = startedPair(serverTLS());
    engine.run(pair.client->close(std::nullopt));
    EXPECT_EQ(engine.run(endOf(pair.server->inbound())), TWCPError::peerClosed());
    EXPECT_EQ(engine.run(endOf(pair.client->inbound())), std::nullopt);
    EXPECT_THROW(engine.run(pair.client->send(flowFrame())), TWCPError);
}

// A device that closes right after its last frame, while frames it never read wait in its socket,
// must not reset the connection: the reset would destroy the end of what it sent.
TEST_F(NetworkChannelTest, OrderlyCloseDeliversEverythingSentBeforeIt) {
    auto pair = startedPair(serverTLS());
    const TWCPFrame chunk(TWCPFrameKind::chunk, {}, 3, Bytes(0x100000, 0x42));
    const int received = engine.run([&]() -> asio::awaitable<int> {
        co_await pair.server->handshakeCompleted();
        for (int i = 0; i < 40; ++i) {
            co_await pair.server->send(flowFrame()); // the client stops reading at 32 unconsumed
        }
        for (int i = 0; i < 16; ++i) {
            co_await pair.client->send(chunk);
        }
        auto consumeAll = [](std::shared_ptr<TWCPNetworkChannel> server) -> asio::awaitable<int> {
            int count = 0;
            try {
                while (co_await server->inbound().next()) {
                    co_await server->frameConsumed();
                    ++count;
                }
            } catch (const TWCPError&) {
            }
            co_return count;
        };
        const int count = co_await (pair.client->close(std::nullopt) && consumeAll(pair.server));
        co_return count;
    }());
    EXPECT_EQ(received, 16);
}

// No handshake message comes near 64 KiB: a larger one ends the connection before it is read whole.
TEST_F(NetworkChannelTest, RefusesLargeHandshakeMessages) {
    constexpr std::size_t limit = TWCPNetworkChannel::maximumHandshakeFramePayload;
    auto pair = startedPair(serverTLS());
    const auto refused = engine.run([&]() -> asio::awaitable<std::optional<TWCPError>> {
        try {
            co_await pair.client->send(TWCPFrame(TWCPFrameKind::hello, {}, 0, Bytes(limit + 1, '{')));
        } catch (const std::exception&) {
            // The server may cut the connection before the whole frame is out.
        }
        co_return co_await endOf(pair.server->inbound());
    }());
    EXPECT_EQ(refused, TWCPError::payloadTooLarge(limit + 1));
}

TEST_F(NetworkChannelTest, PinningThatRefusesTheKeyFailsTheStartOnBothSides) {
    auto [dialed, accepted] = connectedSockets();
    auto client = std::make_shared<TWCPNetworkChannel>(std::move(dialed), clientTLS, Side::client);
    auto server = std::make_shared<TWCPNetworkChannel>(std::move(accepted), serverTLS(false), Side::server);
    const auto [clientFailed, serverFailed] = engine.run([&]() -> asio::awaitable<std::pair<bool, bool>> {
        auto outcome = [](std::shared_ptr<TWCPNetworkChannel> channel) -> asio::awaitable<bool> {
            try {
                co_await channel->start();
                // TLS 1.3 clients finish before the server has judged their certificate; the refusal then
                // arrives as the connection's end.
                co_return (co_await endOf(channel->inbound())).has_value();
            } catch (const std::exception&) {
                co_return true;
            }
        };
        auto [a, b] = co_await (outcome(client) && outcome(server));
        co_return std::pair{a, b};
    }());
    EXPECT_TRUE(clientFailed);
    EXPECT_TRUE(serverFailed);
}

// Only a TLS 1.3 client that offers "twcp/1" and presents a certificate is let in.
TEST_F(NetworkChannelTest, ServerRefusesAClientThatDoesNotSpeakTWCPOverTLS13WithACertificate) {
    struct Case {
        const char* name;
        int maximumVersion;
        std::string alpn;
        bool withCertificate;
        bool refused;
    };
    for (const Case& c : {Case{"no ALPN", TLS1_3_VERSION, "", true, true},
                          Case{"another protocol", TLS1_3_VERSION, "\x02h2", true, true},
                          Case{"TLS 1.2", TLS1_2_VERSION, "\x06twcp/1", true, true},
                          Case{"no certificate", TLS1_3_VERSION, "\x06twcp/1", false, true},
                          Case{"all of it", TLS1_3_VERSION, "\x06twcp/1", true, false}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(serverRefuses(strangerContext(c.maximumVersion, c.alpn, c.withCertificate)), c.refused);
    }
}

TEST_F(NetworkChannelTest, SilentStrangerIsDroppedAfterTheTLSTimeout) {
    auto [dialed, accepted] = connectedSockets();
    auto server = std::make_shared<TWCPNetworkChannel>(std::move(accepted), serverTLS(), Side::server, 200ms);
    EXPECT_THROW(engine.run(server->start()), asio::system_error);
}

// The session checks the key announced in its handshake against the key TLS authenticated.
TEST_F(NetworkChannelTest, SessionsHandshakeOverTLSOnlyWithTheKeyTheyPresented) {
    const auto sessionOutcome = [&](const P256PrivateKey& clientSessionKey) {
        auto pair = startedPair(serverTLS());
        const SoftwareIdentity client("C", "Client", DevicePlatform::macOS, "", "", clientSessionKey);
        const SoftwareIdentity server("S", "Server", DevicePlatform::iOS, "", "", serverKey);
        auto policy = [&](const SoftwareIdentity& peer) {
            return std::make_shared<StaticPairingPolicy>(engine.executor(), std::set{peer.spkiSHA256()},
                                                         true);
        };
        auto initiator = std::make_shared<TWCPSession>(
            engine.executor(), TWCPRole::initiator, pair.client,
            std::make_shared<SoftwareIdentity>(client.trusting(server)), policy(server));
        auto responder = std::make_shared<TWCPSession>(
            engine.executor(), TWCPRole::responder, pair.server,
            std::make_shared<SoftwareIdentity>(server.trusting(client)), policy(client));
        initiator->start();
        responder->start();
        return engine.run([&]() -> asio::awaitable<std::optional<TWCPError>> {
            auto [first, second] = co_await (testing::SessionPair::outcome(initiator, 5s) &&
                                             testing::SessionPair::outcome(responder, 5s));
            co_return second;
        }());
    };
    EXPECT_EQ(sessionOutcome(clientKey), std::nullopt);
    EXPECT_EQ(sessionOutcome(P256PrivateKey::generate()), TWCPError::authenticationFailed());
}

} // namespace
} // namespace tarnwick
