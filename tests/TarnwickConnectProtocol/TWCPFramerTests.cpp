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

// Until the 20th byte nothing is decoded; after it the header is pending and only payload bytes count.
TEST(TWCPFramer, HandsOutAFrameFedByteByByteExactlyOnceAfterItsLastByte) {
    const TWCPFrame expected = frame(TWCPFrameKind::offer, 7, 5);
    const Bytes bytes = expected.encode();
    TWCPFramer framer;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        framer.append(ByteView(bytes).subspan(i, 1));
        const auto next = framer.nextFrame();
        if (i + 1 < bytes.size()) {
            EXPECT_FALSE(next.has_value()) << i;
            EXPECT_EQ(framer.bufferedByteCount(), i < 19 ? i + 1 : i + 1 - 20) << i;
        } else {
            EXPECT_EQ(next, expected);
        }
    }
    EXPECT_FALSE(framer.nextFrame().has_value());
    EXPECT_EQ(framer.bufferedByteCount(), 0u);
}

TEST(TWCPFramer, DrainsCompleteFramesAndKeepsThePartialRest) {
    const std::vector<TWCPFrame> frames{frame(TWCPFrameKind::flow, 1, 30),
                                        frame(TWCPFrameKind::chunk, 3, 100)};
    Bytes bytes = concatenated(frames);
    const Bytes third = frame(TWCPFrameKind::ping, 0, 0).encode();
    bytes.insert(bytes.end(), third.begin(), third.begin() + 7);

    TWCPFramer framer;
    framer.append(bytes);
    EXPECT_EQ(framer.drain(), frames);
    EXPECT_EQ(framer.bufferedByteCount(), 7u);
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

// The bad bytes stay in front, so the owner sees the same error however often it asks.
TEST(TWCPFramer, RepeatsAHeaderErrorWithoutConsumingAnything) {
    Bytes bytes = frame(TWCPFrameKind::flow, 1, 3).encode();
    bytes[5] = 17;
    TWCPFramer framer;
    framer.append(bytes);
    for (int attempt = 0; attempt < 2; ++attempt) {
        expectTWCPError([&] { framer.nextFrame(); }, TWCPError::unknownFrameKind(17));
        EXPECT_EQ(framer.bufferedByteCount(), bytes.size());
    }
    expectTWCPError([&] { framer.drain(); }, TWCPError::unknownFrameKind(17));
}

// A full-size frame fills the buffer exactly; one more byte is refused and the frame stays intact.
TEST(TWCPFramer, BuffersUpToOneLargestFrameAndRefusesMoreWithoutLosingIt) {
    const TWCPFrame largest = frame(TWCPFrameKind::chunk, 5, TWCP::maxPayloadLength, 0xC3);
    const Bytes bytes = largest.encode();
    ASSERT_EQ(bytes.size(), 8'388'628u);
    TWCPFramer framer;
    framer.append(bytes);
    expectTWCPError([&] { framer.append(Bytes{0}); }, TWCPError::payloadTooLarge(8'388'629));
    EXPECT_EQ(framer.bufferedByteCount(), 8'388'628u);
    EXPECT_EQ(framer.nextFrame(), largest);
}

// A pending header no longer counts, so its whole payload may follow it.
TEST(TWCPFramer, LimitCountsOnlyUnconsumedBytes) {
    const Bytes bytes = frame(TWCPFrameKind::chunk, 5, TWCP::maxPayloadLength).encode();
    TWCPFramer framer;
    framer.append(ByteView(bytes).first(TWCP::headerSize));
    EXPECT_FALSE(framer.nextFrame().has_value());
    framer.append(ByteView(bytes).subspan(TWCP::headerSize));
    framer.append(frame(TWCPFrameKind::ping, 0, 0).encode());
    EXPECT_EQ(framer.drain().size(), 2u);
}

TEST(TWCPFramer, ResetForgetsBufferedBytesAndPendingHeader) {
    const Bytes bytes = frame(TWCPFrameKind::flow, 1, 10).encode();
    TWCPFramer framer;
    framer.append(ByteView(bytes).first(25));
    EXPECT_FALSE(framer.nextFrame().has_value());
    framer.reset();
    EXPECT_EQ(framer.bufferedByteCount(), 0u);
    framer.append(bytes);
    EXPECT_EQ(framer.nextFrame(), frame(TWCPFrameKind::flow, 1, 10));
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
