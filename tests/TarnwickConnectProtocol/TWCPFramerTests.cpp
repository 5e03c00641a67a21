#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPFramer.hpp"
#include "tests/TarnwickConnectProtocol/ExpectTWCPError.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TWCPFrame frame(TWCPFrameKind kind, std::uint64_t streamID, std::size_t payloadLength,
                std::uint8_t fill = 0x5A) {
    return TWCPFrame(kind, {}, streamID, Bytes(payloadLength, fill));
}

Bytes concatenated(const std::vector<TWCPFrame>& frames) {
    Bytes bytes;
    for (const auto& each : frames) {
        const Bytes encoded = each.encode();
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    }
    return bytes;
}

TEST(TWCPFramer, HandsOutAnEmptyPayloadAsSoonAsTheHeaderIsThere) {
    const Bytes ping = frame(TWCPFrameKind::ping, 0, 0).encode();
    TWCPFramer framer;
    framer.append(ByteView(ping).first(19));
    EXPECT_FALSE(framer.nextFrame().has_value());
    framer.append(ByteView(ping).last(1));
    EXPECT_EQ(framer.nextFrame(), frame(TWCPFrameKind::ping, 0, 0));
    EXPECT_TRUE(framer.drain().empty());
}

// A full-size frame fills the buffer exactly; one more byte is refused and the frame stays intact. Once
// its header is taken, the header's bytes no longer count, so the next frame's header fits after the payload.
TEST(TWCPFramer, BuffersUpToOneLargestFrameAndRefusesMoreWithoutLosingIt) {
    const TWCPFrame largest = frame(TWCPFrameKind::chunk, 5, TWCP::maxPayloadLength, 0xC3);
    const Bytes bytes = largest.encode();
    TWCPFramer framer;
    framer.append(bytes);
    expectTWCPError([&] { framer.append(Bytes{0}); }, TWCPError::payloadTooLarge(8'388'629));
    EXPECT_EQ(framer.bufferedByteCount(), 8'388'628u);
    EXPECT_EQ(framer.nextFrame(), largest);

    framer.append(ByteView(bytes).first(TWCP::headerSize));
    EXPECT_FALSE(framer.nextFrame().has_value());
    framer.append(ByteView(bytes).subspan(TWCP::headerSize));
    framer.append(frame(TWCPFrameKind::ping, 0, 0).encode());
    EXPECT_EQ(framer.drain(), (std::vector{largest, frame(TWCPFrameKind::ping, 0, 0)}));
}

// Frames taken from the front while slices keep arriving must come out unchanged across compactions.
TEST(TWCPFramer, ReassemblesAStreamOfMixedFramesFedInUnevenSlices) {
    std::vector<TWCPFrame> frames;
    for (std::uint64_t i = 0; i < 400; ++i) {
        frames.push_back(frame(i % 3 ? TWCPFrameKind::flow : TWCPFrameKind::chunk, i, (i * 37) % 3000,
                               static_cast<std::uint8_t>(i)));
    }
    const Bytes bytes = concatenated(frames);
    TWCPFramer framer;
    std::vector<TWCPFrame> received;
    for (std::size_t at = 0, slice = 1; at < bytes.size(); at += slice, slice = slice * 7 % 4093 + 1) {
        framer.append(ByteView(bytes).subspan(at, std::min(slice, bytes.size() - at)));
        if (slice % 2) {
            auto drained = framer.drain();
            received.insert(received.end(), drained.begin(), drained.end());
        } else if (auto next = framer.nextFrame()) {
            received.push_back(std::move(*next));
        }
    }
    auto rest = framer.drain();
    received.insert(received.end(), rest.begin(), rest.end());
    EXPECT_EQ(received, frames);
    EXPECT_EQ(framer.bufferedByteCount(), 0u);
}

// A reader filling the framer in place, in reads of any size and after bytes given to `append`, gets the
// same frames; a payload read in place becomes the frame's own buffer, uncopied.
TEST(TWCPFramer, ReceivesInPlaceWhatAppendWouldHaveGiven) {
    const std::vector frames{frame(TWCPFrameKind::chunk, 1, 70000, 1), frame(TWCPFrameKind::flow, 1, 9, 2),
                             frame(TWCPFrameKind::complete, 1, 0), frame(TWCPFrameKind::chunk, 1, 5000, 3)};
    const Bytes bytes = concatenated(frames);
    TWCPFramer framer;
    framer.append(ByteView(bytes).first(7)); // part of the first header came the other way
    std::vector<TWCPFrame> received;
    const std::uint8_t* firstPayloadAt = nullptr;
    for (std::size_t at = 7, read = 1; at < bytes.size(); read = read * 5 % 30011 + 1) {
        const auto space = framer.receiveSpace(read);
        ASSERT_FALSE(space.empty());
        const std::size_t count = std::min(space.size(), read / 2 + 1); // a read may bring less than asked
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), count, space.begin());
        framer.commitReceived(count);
        if (received.empty() && at >= 20) {
            firstPayloadAt = space.data() - (at - 20);
        }
        at += count;
        while (auto next = framer.nextFrame()) {
            received.push_back(std::move(*next));
        }
    }
    EXPECT_EQ(received, frames);
    EXPECT_EQ(received.front().payload.data(), firstPayloadAt);
    EXPECT_EQ(framer.bufferedByteCount(), 0u);
}

} // namespace
} // namespace tarnwick
