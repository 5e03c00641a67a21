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

} // namespace
} // namespace tarnwick
