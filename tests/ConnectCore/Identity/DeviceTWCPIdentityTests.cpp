#include "ConnectCore/Channel/TWCPNetworkChannel.hpp"
#include "ConnectCore/Identity/DeviceTWCPIdentity.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "tests/Support/RunCoroutine.hpp"

#include <asio/experimental/awaitable_operators.hpp>
#include <asio/ip/tcp.hpp>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

DeviceIdentity makeIdentity(const std::string& name) {
    return DeviceIdentity::software(name + "-ID", name, DevicePlatform::macOS, "Debian GNU/Linux 12", "1.0.0",
                                    P256PrivateKey::generate());
}

class DeviceTWCPIdentityTest : public ::testing::Test {
protected:
    DeviceTWCPIdentity self = DeviceTWCPIdentity::trustOnFirstUse(makeIdentity("Studio Mac"));
    DeviceIdentity peer = makeIdentity("Pocket Phone");
    Bytes digest = Bytes(32, 0x42);
    Bytes signature = peer.sign(digest);
};

TEST_F(DeviceTWCPIdentityTest, VerifiesOnlyWithKeysKnownInAdvance) {
    try {
        self.verify(signature, digest, peer.spkiSHA256());
        FAIL() << "verified without a key";
    } catch (const TWCPError& error) {
        EXPECT_EQ(error, TWCPError::authenticationFailed());
    }

    const std::string fingerprint = peer.spkiSHA256();
    const P256PublicKey peerKey = P256PublicKey::fromDER(peer.spkiDER());
    const DeviceTWCPIdentity trusting(self.identity(), [&](const std::string& asked) {
        return asked == fingerprint ? std::optional(peerKey) : std::nullopt;
    });
    EXPECT_TRUE(trusting.verify(signature, digest, fingerprint));
    EXPECT_FALSE(trusting.verify(signature, Bytes(32, 0x43), fingerprint));
    EXPECT_THROW(trusting.verify(Bytes{0x30, 0x01, 0x00}, digest, fingerprint), TWCPError);
}

// Every TLS attempt with a new key used to leave that key in a store for the life of the process. Now
// each connection hands its peer's key to its own session, and the identity keeps none of them.
TEST_F(DeviceTWCPIdentityTest, ConnectionAttemptsWithNewKeysLeaveNothingBehind) {
    using asio::ip::tcp;
    using namespace asio::experimental::awaitable_operators;
    testing::Engine engine{2};
    const auto serverTLS = self.tls();
    tcp::acceptor acceptor(engine.executor(), tcp::endpoint(asio::ip::address_v4::loopback(), 0));
    std::vector<std::pair<std::string, Bytes>> attempts;
    for (int i = 0; i < 100; ++i) {
        const DeviceIdentity stranger = makeIdentity("Stranger " + std::to_string(i));
        tcp::socket dialed(engine.executor());
        dialed.connect(acceptor.local_endpoint());
        const auto client = std::make_shared<TWCPNetworkChannel>(
            std::move(dialed), DeviceTWCPIdentity::trustOnFirstUse(stranger).tls(),
            TWCPNetworkChannel::Side::client);
        const auto server = std::make_shared<TWCPNetworkChannel>(acceptor.accept(), serverTLS,
                                                                 TWCPNetworkChannel::Side::server);
        engine.run([&]() -> asio::awaitable<void> { co_await (client->start() && server->start()); }());
        const Bytes signature = stranger.sign(digest);
        ASSERT_EQ(server->authenticatedPeerSPKISHA256(), stranger.spkiSHA256());
        EXPECT_TRUE(server->authenticatedPeerKey()->isValidSignature(signature, digest));
        attempts.emplace_back(stranger.spkiSHA256(), signature);
    }
    for (const auto& [fingerprint, signature] : attempts) {
        EXPECT_THROW(self.verify(signature, digest, fingerprint), TWCPError);
    }
}

} // namespace
} // namespace tarnwick
