#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Session/TWCPSession.hpp"
#include "TarnwickConnectProtocol/Messages/HelloAckMessage.hpp"
#include "tests/Support/SessionFixture.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using testing::SessionPair;
using Phase = TWCPSession::State::Phase;
using Kind = TWCPFrameKind;

class SessionTest : public ::testing::TestWithParam<int> {
protected:
    testing::Engine engine{GetParam()};

    template <typename T> T run(asio::awaitable<T> body) { return engine.run(std::move(body)); }

    std::pair<std::optional<TWCPError>, std::optional<TWCPError>> handshake(SessionPair& pair) {
        return run(pair.handshake());
    }

    TWCPSession::State stateOf(TWCPSession& session) { return run(session.state()); }
};

TEST_P(SessionTest, PairedDevicesHandshakeInFiveFramesWithoutAskingTheUser) {
    SessionPair pair(engine.executor(), {});
    const auto [initiatorError, responderError] = handshake(pair);
    EXPECT_FALSE(initiatorError);
    EXPECT_FALSE(responderError);
    EXPECT_EQ(*pair.wire, (std::vector{Kind::hello, Kind::helloAck, Kind::authChallenge, Kind::authResponse,
                                       Kind::authResponse}));
    EXPECT_EQ(stateOf(*pair.initiator.session), TWCPSession::State::ready());
    EXPECT_EQ(stateOf(*pair.responder.session), TWCPSession::State::ready());
    EXPECT_EQ(run(pair.initiator.policy->confirmationCount()), 0);
    EXPECT_EQ(run(pair.responder.policy->confirmationCount()), 0);
    EXPECT_EQ(run(pair.initiator.session->peer())->deviceName, "Pocket Phone");
    EXPECT_EQ(run(pair.responder.session->peer())->deviceName, "Studio Mac");
}

// A device that has paired its peer still shows the code when the peer has not paired it back.
TEST_P(SessionTest, EachSideAsksOnlyWhenEitherSideIsUnpaired) {
    struct Case {
        bool initiatorPaired, responderPaired;
        int initiatorAsks, responderAsks;
    };
    for (const Case& c : {Case{true, false, 1, 1}, Case{false, true, 1, 0}, Case{false, false, 1, 1}}) {
        SessionPair pair(engine.executor(), {.initiatorHasPeerPaired = c.initiatorPaired,
                                             .responderHasPeerPaired = c.responderPaired});
        const auto [initiatorError, responderError] = handshake(pair);
        ASSERT_FALSE(initiatorError);
        ASSERT_FALSE(responderError);
        EXPECT_EQ(run(pair.initiator.policy->confirmationCount()), c.initiatorAsks);
        EXPECT_EQ(run(pair.responder.policy->confirmationCount()), c.responderAsks);
        const auto initiatorCode = run(pair.initiator.policy->lastCode());
        ASSERT_TRUE(initiatorCode);
        EXPECT_EQ(initiatorCode->size(), 6u);
        if (c.responderAsks) {
            EXPECT_EQ(run(pair.responder.policy->lastCode()), initiatorCode);
        }
        // Whoever asked now remembers the peer.
        EXPECT_TRUE(run(pair.initiator.policy->isPaired(pair.responder.identity->spkiSHA256())));
        EXPECT_TRUE(run(pair.responder.policy->isPaired(pair.initiator.identity->spkiSHA256())));
    }
}

TEST_P(SessionTest, RejectedCodeClosesBothSides) {
    SessionPair pair(engine.executor(), {.responderHasPeerPaired = false, .responderAnswer = false});
    const auto [initiatorError, responderError] = handshake(pair);
    EXPECT_EQ(responderError, TWCPError::pairingRejected());
    EXPECT_EQ(initiatorError, TWCPError::peerClosed());
    EXPECT_EQ(stateOf(*pair.responder.session), TWCPSession::State::closed(1104));
    EXPECT_EQ(stateOf(*pair.initiator.session), TWCPSession::State::closed(1400));
    EXPECT_FALSE(run(pair.responder.policy->isPaired(pair.initiator.identity->spkiSHA256())));
}

TEST_P(SessionTest, SilentResponderTimesOut) {
    SessionPair pair(engine.executor(), {});
    const auto error = run(SessionPair::outcome(pair.initiator.session, 150ms));
    EXPECT_EQ(error, TWCPError::handshakeTimeout());
    EXPECT_EQ(stateOf(*pair.initiator.session), TWCPSession::State::closed(1100));
}

TEST_P(SessionTest, SignaturesThatDoNotVerifyFailAuthentication) {
    {
        SessionPair pair(engine.executor(), {.initiatorHasWrongResponderKey = true});
        const auto [initiatorError, responderError] = handshake(pair);
        EXPECT_EQ(initiatorError, TWCPError::authenticationFailed());
        EXPECT_EQ(stateOf(*pair.initiator.session), TWCPSession::State::closed(1102));
    }
    {
        // A peer that cannot prove its key never reaches the user's screen, and is not remembered.
        SessionPair pair(engine.executor(), {.initiatorHasPeerPaired = false,
                                             .responderHasPeerPaired = false,
                                             .responderKnowsInitiatorKey = false});
        const auto [initiatorError, responderError] = handshake(pair);
        EXPECT_EQ(responderError, TWCPError::authenticationFailed());
        EXPECT_EQ(initiatorError, TWCPError::peerClosed());
        EXPECT_EQ(stateOf(*pair.responder.session), TWCPSession::State::closed(1102));
        EXPECT_EQ(run(pair.responder.policy->confirmationCount()), 0);
        EXPECT_FALSE(run(pair.responder.policy->isPaired(pair.initiator.identity->spkiSHA256())));
    }
}

// A relay that learned a device's key must not pass the handshake on a connection whose TLS peer is
// someone else; it is refused before anyone is asked for a code.
TEST_P(SessionTest, AnnouncedKeyMustMatchTheTransportPeer) {
    SessionPair pair(engine.executor(), {.responderHasPeerPaired = false});
    pair.responder.endpoint->setAuthenticatedPeerSPKISHA256("someone-else");
    const auto [initiatorError, responderError] = handshake(pair);
    EXPECT_EQ(responderError, TWCPError::authenticationFailed());
    EXPECT_EQ(run(pair.responder.policy->confirmationCount()), 0);
}

TEST_P(SessionTest, ChannelFailuresEndTheHandshakeWithTheirError) {
    {
        SessionPair pair(engine.executor(), {.faults = {.failAfterFrames = 1}});
        const auto [initiatorError, responderError] = handshake(pair);
        EXPECT_EQ(initiatorError, TWCPError::peerClosed());
        EXPECT_EQ(responderError, TWCPError::peerClosed());
    }
    {
        SessionPair pair(engine.executor(), {.faults = {.corruptFrameAtIndex = 0}});
        const auto [initiatorError, responderError] = handshake(pair);
        EXPECT_EQ(responderError, TWCPError::malformedPayload("HelloMessage"));
        EXPECT_EQ(stateOf(*pair.responder.session), TWCPSession::State::closed(1401));
        EXPECT_EQ(initiatorError, TWCPError::peerClosed());
    }
}

/// Drives a responder session by hand from the initiator's channel end.
class RawPeerTest : public SessionTest {
protected:
    struct RawPeer {
        std::shared_ptr<InMemoryChannel> end;
        std::shared_ptr<TWCPSession> responder;
    };

    RawPeer makeResponder() {
        auto [left, right] = InMemoryChannel::pair(engine.executor());
        auto identity = std::make_shared<SoftwareIdentity>(testing::makeIdentity("Responder"));
        auto policy = std::make_shared<StaticPairingPolicy>(engine.executor(), std::set<std::string>{}, true);
        auto session =
            std::make_shared<TWCPSession>(engine.executor(), TWCPRole::responder, right, identity, policy);
        session->start();
        return {left, session};
    }

    /// The responder's first answer; then the raw end hangs up.
    static asio::awaitable<HelloAckMessage> firstReply(std::shared_ptr<InMemoryChannel> end) {
        auto frame = co_await end->inbound().next();
        co_await end->close(std::nullopt);
        co_return frame->decode<HelloAckMessage>(Kind::helloAck);
    }

    static HelloMessage helloWithVersion(std::uint8_t version) {
        return HelloMessage{.version = version,
                            .role = TWCPRole::initiator,
                            .deviceID = "RAW",
                            .deviceName = "Raw",
                            .platform = DevicePlatform::iOS,
                            .osVersion = "18",
                            .appVersion = "1",
                            .spkiSHA256 = "raw-key",
                            .capabilities = PeerCapabilities{0xFF},
                            .nonce = Bytes(32, 7)};
    }
};

TEST_P(RawPeerTest, ResponderNegotiatesDownAndRefusesVersionZero) {
    auto newer = makeResponder();
    const auto ack = run([&]() -> asio::awaitable<HelloAckMessage> {
        using namespace asio::experimental::awaitable_operators;
        co_await newer.end->send(TWCPFrame::json(Kind::hello, helloWithVersion(7), 0));
        auto [reply, ignored] = co_await (firstReply(newer.end) && SessionPair::outcome(newer.responder, 2s));
        co_return reply;
    }());
    EXPECT_EQ(ack.negotiatedVersion, 1);
    EXPECT_EQ(ack.sharedCapabilities, TWCPSession::localCapabilities);
    EXPECT_TRUE(ack.requiresPairing);

    auto ancient = makeResponder();
    const auto error = run([&]() -> asio::awaitable<std::optional<TWCPError>> {
        co_await ancient.end->send(TWCPFrame::json(Kind::hello, helloWithVersion(0), 0));
        co_return co_await SessionPair::outcome(ancient.responder, 2s);
    }());
    EXPECT_EQ(error, TWCPError::versionNegotiationFailed(0));
    EXPECT_EQ(run(ancient.end->counters()).framesSent, 1); // nothing came back: only our hello was sent
    EXPECT_EQ(run(ancient.responder->peer()), helloWithVersion(0));
}

TEST_P(RawPeerTest, PingDuringHandshakeIsMalformed) {
    auto peer = makeResponder();
    const auto error = run([&]() -> asio::awaitable<std::optional<TWCPError>> {
        co_await peer.end->send(TWCPFrame(Kind::ping, {}, 0, {}));
        co_return co_await SessionPair::outcome(peer.responder, 2s);
    }());
    EXPECT_EQ(error, TWCPError::malformedPayload("expected hello, got ping"));
    EXPECT_EQ(stateOf(*peer.responder), TWCPSession::State::closed(1401));
}

TEST_P(SessionTest, ReadySessionAnswersPingsAndHandsOnEverythingElseInOrder) {
    SessionPair pair(engine.executor(), {});
    ASSERT_FALSE(handshake(pair).first);
    auto& initiator = *pair.initiator.session;
    auto& responder = *pair.responder.session;
    run([&]() -> asio::awaitable<void> {
        // Sent before anyone asked for the stream: kept, not dropped.
        co_await initiator.send(TWCPFrame(Kind::cancel, {}, 1, bytesOf("{}")));
        co_await initiator.send(TWCPFrame(Kind::ping, {}, 9, {}));
        co_await initiator.send(TWCPFrame(Kind::flow, {}, 3, bytesOf("{}")));
        auto frames = responder.frames();
        const auto first = co_await frames.next();
        const auto second = co_await frames.next();
        EXPECT_EQ(first->header.kind, Kind::cancel);
        EXPECT_EQ(second->header.kind, Kind::flow);
        co_await responder.frameHandled();
        co_await responder.frameHandled();
        // The pong answers this side's own check; the session takes it, nobody else.
        while (pair.initiator.channel->consumed_ == 0) {
            co_await sleepFor(std::chrono::milliseconds(5));
        }
    }());
    // The answered ping plus the two handled frames.
    EXPECT_EQ(pair.responder.channel->consumed_, 3);
    EXPECT_EQ(pair.initiator.channel->consumed_, 1);
}

TEST_P(SessionTest, CloseEndsTheStreamOnBothSides) {
    SessionPair pair(engine.executor(), {});
    ASSERT_FALSE(handshake(pair).first);
    auto& session = *pair.initiator.session;
    run(session.close(std::nullopt));
    EXPECT_EQ(stateOf(session), TWCPSession::State::closed(std::nullopt));
    EXPECT_FALSE(run(session.frames().next()));
    // The peer learns of the end from its channel.
    EXPECT_FALSE(run(pair.responder.session->frames().next()));
    EXPECT_EQ(stateOf(*pair.responder.session), TWCPSession::State::closed(1400));
}

INSTANTIATE_TEST_SUITE_P(Threads, SessionTest, ::testing::Values(1, 3));
INSTANTIATE_TEST_SUITE_P(Threads, RawPeerTest, ::testing::Values(1, 3));

} // namespace
} // namespace tarnwick
