#include "ConnectCore/Identity/DeviceTWCPIdentity.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "tests/Support/SessionFixture.hpp"

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

    void expectUnknown(const std::string& fingerprint) {
        try {
            self.verify(signature, digest, fingerprint);
            FAIL() << "verified without a key";
        } catch (const TWCPError& error) {
            EXPECT_EQ(error, TWCPError::authenticationFailed());
        }
    }
};

TEST_F(DeviceTWCPIdentityTest, VerifiesOnlyOnceThePeerKeyIsLearned) {
    expectUnknown(peer.spkiSHA256());

    self.learn(peer.spkiDER());
    EXPECT_TRUE(self.verify(signature, digest, peer.spkiSHA256()));
    EXPECT_FALSE(self.verify(signature, Bytes(32, 0x43), peer.spkiSHA256()));
    EXPECT_THROW(self.verify(Bytes{0x30, 0x01, 0x00}, digest, peer.spkiSHA256()), TWCPError);
    // Copies share what was learned.
    const DeviceTWCPIdentity copy = self;
    EXPECT_TRUE(copy.verify(signature, digest, peer.spkiSHA256()));
}

TEST_F(DeviceTWCPIdentityTest, KeysKnownInAdvanceServeWithoutLearning) {
    const std::string fingerprint = peer.spkiSHA256();
    const P256PublicKey peerKey = P256PublicKey::fromDER(peer.spkiDER());
    const DeviceTWCPIdentity trusting(self.identity(), [&](const std::string& asked) {
        return asked == fingerprint ? std::optional(peerKey) : std::nullopt;
    });
    EXPECT_TRUE(trusting.verify(signature, digest, fingerprint));

    // Without a learned store, learning does nothing.
    const DeviceIdentity stranger = makeIdentity("Stranger");
    trusting.learn(stranger.spkiDER());
    EXPECT_THROW(trusting.verify(stranger.sign(digest), digest, stranger.spkiSHA256()), TWCPError);
}

using Outcomes = std::pair<std::optional<TWCPError>, std::optional<TWCPError>>;

asio::awaitable<Outcomes> handshakeBoth(std::shared_ptr<TWCPSession> initiator,
                                        std::shared_ptr<TWCPSession> responder) {
    using namespace asio::experimental::awaitable_operators;
    auto [first, second] = co_await (testing::SessionPair::outcome(initiator, 15s) &&
                                     testing::SessionPair::outcome(responder, 15s));
    co_return Outcomes{first, second};
}

// Two paired devices over an in-memory pair that reports each peer's key as TLS would, each having
// learned the other's key from that TLS layer, complete a handshake.
TEST(DeviceTWCPIdentitySession, KeysLearnedInTLSCarryTheHandshake) {
    testing::Engine engine;
    const auto executor = engine.executor();
    const auto a =
        std::make_shared<DeviceTWCPIdentity>(DeviceTWCPIdentity::trustOnFirstUse(makeIdentity("A")));
    const auto b =
        std::make_shared<DeviceTWCPIdentity>(DeviceTWCPIdentity::trustOnFirstUse(makeIdentity("B")));
    a->learn(b->identity().spkiDER());
    b->learn(a->identity().spkiDER());
    auto [left, right] = InMemoryChannel::pair(executor);
    left->setAuthenticatedPeerSPKISHA256(b->spkiSHA256());
    right->setAuthenticatedPeerSPKISHA256(a->spkiSHA256());
    const auto session = [&](TWCPRole role, std::shared_ptr<InMemoryChannel> channel,
                             std::shared_ptr<DeviceTWCPIdentity> self, const std::string& peer) {
        auto created = std::make_shared<TWCPSession>(
            executor, role, std::move(channel), std::move(self),
            std::make_shared<StaticPairingPolicy>(executor, std::set{peer}, false));
        created->start();
        return created;
    };
    const auto [initiatorError, responderError] =
        engine.run(handshakeBoth(session(TWCPRole::initiator, left, a, b->spkiSHA256()),
                                 session(TWCPRole::responder, right, b, a->spkiSHA256())));
    EXPECT_EQ(initiatorError, std::nullopt);
    EXPECT_EQ(responderError, std::nullopt);
}

} // namespace
} // namespace tarnwick
