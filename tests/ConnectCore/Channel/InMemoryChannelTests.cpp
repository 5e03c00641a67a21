#include "ConnectCore/Channel/InMemoryChannel.hpp"
#include "tests/Support/RunCoroutine.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TWCPFrame frameWith(TWCPFrameKind kind, Bytes payload) {
    return TWCPFrame(kind, {}, 1, std::move(payload));
}

class InMemoryChannelTest : public ::testing::Test {
protected:
    testing::Engine engine;

    template <typename T> T run(asio::awaitable<T> body) { return engine.run(std::move(body)); }

    /// Sends each frame, stopping at the first failure; returns how many were sent and the error.
    static asio::awaitable<std::pair<int, std::optional<TWCPError>>> sendAll(InMemoryChannel& channel,
                                                                             std::vector<TWCPFrame> frames) {
        int sent = 0;
        for (auto& frame : frames) {
            try {
                co_await channel.send(std::move(frame));
            } catch (const TWCPError& error) {
                co_return std::pair{sent, std::optional(error)};
            }
            ++sent;
        }
        co_return std::pair{sent, std::optional<TWCPError>()};
    }

    /// Everything the endpoint received, and the error its sequence ended with.
    static asio::awaitable<std::pair<std::vector<TWCPFrame>, std::optional<TWCPError>>>
    drain(const InMemoryChannel& channel) {
        std::vector<TWCPFrame> frames;
        const auto inbound = channel.inbound();
        try {
            while (auto frame = co_await inbound.next()) {
                frames.push_back(std::move(*frame));
            }
        } catch (const TWCPError& error) {
            co_return std::pair{std::move(frames), std::optional(error)};
        }
        co_return std::pair{std::move(frames), std::optional<TWCPError>()};
    }
};

TEST_F(InMemoryChannelTest, FailAfterFramesClosesBothEnds) {
    auto [initiator, responder] = InMemoryChannel::pair(engine.executor(), {.failAfterFrames = 3});
    std::vector<TWCPFrame> frames(5, frameWith(TWCPFrameKind::ping, {}));
    const auto [sent, error] = run(sendAll(*initiator, frames));
    EXPECT_EQ(sent, 3);
    EXPECT_EQ(error, TWCPError::peerClosed());
    EXPECT_EQ(run(initiator->counters()).framesSent, 4);
    const auto [received, end] = run(drain(*responder));
    EXPECT_EQ(received.size(), 3u);
    EXPECT_EQ(end, TWCPError::peerClosed());
    EXPECT_EQ(run(drain(*initiator)).second, TWCPError::peerClosed());
}

TEST_F(InMemoryChannelTest, FailAfterBytesAllowsExactlyTheLimit) {
    auto [initiator, responder] = InMemoryChannel::pair(engine.executor(), {.failAfterBytes = 100});
    const auto [sent, error] = run(sendAll(*initiator, {frameWith(TWCPFrameKind::flow, Bytes(60)),
                                                        frameWith(TWCPFrameKind::flow, Bytes(40)),
                                                        frameWith(TWCPFrameKind::flow, Bytes(1))}));
    EXPECT_EQ(sent, 2);
    EXPECT_EQ(error, TWCPError::peerClosed());
}

TEST_F(InMemoryChannelTest, CorruptsTheChosenFrameAndChunkOnly) {
    auto [initiator, responder] =
        InMemoryChannel::pair(engine.executor(), {.corruptFrameAtIndex = 0, .corruptChunkAtIndex = 1});
    const Bytes chunk(12, 0x11);
    run(sendAll(*initiator,
                {frameWith(TWCPFrameKind::offer, {0x7B, 0x7D}), frameWith(TWCPFrameKind::chunk, chunk),
                 frameWith(TWCPFrameKind::chunk, chunk), frameWith(TWCPFrameKind::chunk, chunk)}));
    run(initiator->close(std::nullopt));
    const auto [received, end] = run(drain(*responder));
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[0].payload, (Bytes{0x84, 0x7D}));
    EXPECT_EQ(received[1].payload, chunk);
    Bytes corrupted = chunk;
    corrupted[8] = 0xEE;
    EXPECT_EQ(received[2].payload, corrupted);
    EXPECT_EQ(received[3].payload, chunk);
    EXPECT_EQ(run(initiator->counters()).chunksSent, 3);
}

TEST_F(InMemoryChannelTest, ShortChunksKeepTheirFileBytes) {
    auto [initiator, responder] =
        InMemoryChannel::pair(engine.executor(), {.corruptFrameAtIndex = 0, .corruptChunkAtIndex = 0});
    run(sendAll(*initiator, {frameWith(TWCPFrameKind::chunk, Bytes(9, 0x22))}));
    run(initiator->close(std::nullopt));
    // The frame corruption still inverts byte 0; the chunk corruption needs ten bytes.
    Bytes expected(9, 0x22);
    expected[0] = 0xDD;
    EXPECT_EQ(run(drain(*responder)).first.at(0).payload, expected);
}

TEST_F(InMemoryChannelTest, CloseEndsOwnInboundWithTheReasonAndThePeersWithPeerClosed) {
    auto [initiator, responder] = InMemoryChannel::pair(engine.executor());
    run(initiator->close(TWCPError::cancelled()));
    run(initiator->close(std::nullopt));
    run(responder->close(TWCPError::flowViolation()));
    EXPECT_EQ(run(drain(*initiator)).second, TWCPError::cancelled());
    EXPECT_EQ(run(drain(*responder)).second, TWCPError::peerClosed());
    EXPECT_EQ(run(sendAll(*responder, {frameWith(TWCPFrameKind::ping, {})})).second, TWCPError::peerClosed());

    auto [quiet, other] = InMemoryChannel::pair(engine.executor());
    run(quiet->close(std::nullopt));
    EXPECT_FALSE(run(drain(*quiet)).second);
}

TEST_F(InMemoryChannelTest, UnpairedEndpointCountsAndDeliversNothing) {
    auto lonely = std::make_shared<InMemoryChannel>(engine.executor());
    run(sendAll(*lonely,
                {frameWith(TWCPFrameKind::flow, Bytes(5)), frameWith(TWCPFrameKind::chunk, Bytes(10))}));
    const auto counters = run(lonely->counters());
    EXPECT_EQ(counters.framesSent, 2);
    EXPECT_EQ(counters.chunksSent, 1);
    EXPECT_EQ(counters.bytesSent, 15);
}

} // namespace
} // namespace tarnwick
