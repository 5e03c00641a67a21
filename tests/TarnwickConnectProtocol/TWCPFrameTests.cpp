#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPFrame.hpp"
#include "TarnwickConnectProtocol/Messages/FlowMessage.hpp"
#include "TarnwickConnectProtocol/Messages/HelloAckMessage.hpp"
#include "tests/TarnwickConnectProtocol/ExpectTWCPError.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(TWCPFrame, EncodesEmptyPingByteExact) {
    const Bytes expected{0x54, 0x57, 0x43, 0x50, 0x01, 0x3C, 0x00, 0x00, 0x00, 0x00,
                         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(TWCPFrame(TWCPFrameKind::ping, {}, 0, {}).encode(), expected);
}

TEST(TWCPFrame, CarriesAMessageAsJSON) {
    const FlowMessage flow{"F1", 4'194'304};
    const TWCPFrame frame = TWCPFrame::json(TWCPFrameKind::flow, flow, 3);
    EXPECT_EQ(frame.header, (TWCPHeader{TWCPFrameKind::flow, {}, 3, 39}));
    EXPECT_EQ(frame.payload, bytesOf(R"({"consumedBytes":4194304,"fileID":"F1"})"));
    EXPECT_EQ(frame.decode<FlowMessage>(TWCPFrameKind::flow), flow);
}

// The kind is checked first, so even a payload that is no JSON at all yields the kind mismatch.
TEST(TWCPFrame, NamesBothKindsWhenTheKindIsNotTheExpectedOne) {
    const TWCPFrame pong(TWCPFrameKind::pong, {}, 0, bytesOf("not json"));
    expectTWCPError([&] { pong.decode<HelloAckMessage>(TWCPFrameKind::helloAck); },
                    TWCPError::malformedPayload("expected helloAck, got pong"));
}

} // namespace
} // namespace tarnwick
