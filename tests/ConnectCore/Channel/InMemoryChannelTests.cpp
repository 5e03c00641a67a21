#include "ConnectCore/Channel/InMemoryChannel.hpp"
#include "tests/Support/RunCoroutine.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

class InMemoryChannelTest : public ::testing::Test {
protected:
    testing::Engine engine;

    template <typename T> T run(asio::awaitable<T> body) { return engine.run(std::move(body)); }

    /// The error the endpoint's inbound sequence ended with, once everything in it is read.
    static asio::awaitable<std::optional<TWCPError>> endOf(const InMemoryChannel& channel) {
        const auto inbound = channel.inbound();
        try {
            while (co_await inbound.next()) {
            }
        } catch (const TWCPError& error) {
            co_return error;
        }
        co_return std::nullopt;
    }
};

TEST_F(InMemoryChannelTest, CloseEndsOwnInboundWithTheReasonAndThePeersWithPeerClosed) {
    auto [initiator, responder] = InMemoryChannel::pair(engine.executor());
    run(initiator->close(TWCPError::cancelled()));
    run(initiator->close(std::nullopt));
    run(responder->close(TWCPError::flowViolation()));
    EXPECT_EQ(run(endOf(*initiator)), TWCPError::cancelled());
    EXPECT_EQ(run(endOf(*responder)), TWCPError::peerClosed());
    try {
        run(responder->send(TWCPFrame(TWCPFrameKind::ping, {}, 1, {})));
        ADD_FAILURE() << "a closed end sent";
    } catch (const TWCPError& error) {
        EXPECT_EQ(error, TWCPError::peerClosed());
    }

    auto [quiet, other] = InMemoryChannel::pair(engine.executor());
    run(quiet->close(std::nullopt));
    EXPECT_EQ(run(endOf(*quiet)), std::nullopt);
}

} // namespace
} // namespace tarnwick
