#include "TarnwickConnectProtocol/Messages/AcceptMessage.hpp"
#include "TarnwickConnectProtocol/Messages/AuthChallengeMessage.hpp"
#include "TarnwickConnectProtocol/Messages/AuthResponseMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CancelMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CompleteMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CurrentFileMessage.hpp"
#include "TarnwickConnectProtocol/Messages/ErrorMessage.hpp"
#include "TarnwickConnectProtocol/Messages/FileDescriptor.hpp"
#include "TarnwickConnectProtocol/Messages/FlowMessage.hpp"
#include "TarnwickConnectProtocol/Messages/HelloAckMessage.hpp"
#include "TarnwickConnectProtocol/Messages/HelloMessage.hpp"
#include "TarnwickConnectProtocol/Messages/OfferMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RangeCancelMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RangeEndMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RangeRequestMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RejectMessage.hpp"
#include "TarnwickConnectProtocol/Messages/TWCPCoding.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace tarnwick {
namespace {

Bytes everyByte() {
    Bytes bytes;
    for (int value = 0; value < 256; ++value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

// Text that needs escaping, non-ASCII text and a slash, in one place.
const std::string awkward = "Ünïcødé 📷 \"quoted\" \\ a/b \n\t\x01";

FileDescriptor fullDescriptor() {
    return {.fileID = "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0",
            .name = awkward,
            .byteCount = std::numeric_limits<std::uint64_t>::max(),
            .utType = "com.apple.quicktime-movie",
            .sha256 = Bytes(32, 0xFB),
            .pixelWidth = std::numeric_limits<std::int64_t>::min(),
            .pixelHeight = 2160,
            .durationSeconds = 0.1 + 0.2,
            .colorSpaceName = "",
            .playability = Playability::needsTranscode,
            .thumbnailJPEG = everyByte()};
}

// Each type with every field set to an awkward value; the default-constructed value of each is tried too.
auto samples() {
    return std::make_tuple(
        HelloMessage{1,
                     TWCPRole::responder,
                     "D",
                     awkward,
                     DevicePlatform::iPadOS,
                     "17.4",
                     "2.0",
                     std::string(43, '_'),
                     {0xFFFFFFFF},
                     Bytes(32, 0)},
        HelloAckMessage{255, {PeerCapabilities::cloudFallback}, "D", "N", DevicePlatform::iOS, "k", true},
        AuthChallengeMessage{everyByte()}, AuthResponseMessage{Bytes(72, 0x30)}, fullDescriptor(),
        OfferMessage{"O", {fullDescriptor(), FileDescriptor{}}, "watchFolder"},
        AcceptMessage{"O", {{"F2", 0}, {"F1", std::numeric_limits<std::uint64_t>::max()}, {awkward, 7}}},
        RejectMessage{"O", awkward}, FlowMessage{"F", 16 << 20}, CompleteMessage{"F", 0, Bytes(32, 0xEE)},
        CurrentFileMessage{"S", fullDescriptor(), everyByte(), 1e-300},
        RangeRequestMessage{"R", "F", 1ULL << 63, -1},
        RangeEndMessage{"R", std::numeric_limits<std::int64_t>::max(), true}, RangeCancelMessage{"R"},
        ErrorMessage(TWCPError::integrityMismatch("F"), "complete failed"), CancelMessage{"O", "F"});
}

template <class Message> void expectRoundTrip(const Message& message) {
    SCOPED_TRACE(Message::typeName);
    const Bytes encoded = TWCPCoding::encode(message);
    const auto back = TWCPCoding::decode<Message>(encoded);
    EXPECT_EQ(back, message);
    EXPECT_EQ(TWCPCoding::encode(back), encoded);
}

TEST(MessageRoundTrip, EveryMessageTypeSurvivesEncodeAndDecode) {
    std::apply(
        [](const auto&... message) {
            (expectRoundTrip(message), ...);
            (expectRoundTrip(std::decay_t<decltype(message)>{}), ...);
        },
        samples());
}

} // namespace
} // namespace tarnwick
