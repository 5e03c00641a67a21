#include "TarnwickConnectProtocol/Handshake/HandshakeTranscript.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

HandshakeTranscript minimalTranscript() {
    return {"A", "B", {}, {}, 1};
}

HandshakeTranscript sessionSizedTranscript() {
    return {SPKIFingerprint::compute(bytesOf("initiator key")),
            SPKIFingerprint::compute(bytesOf("responder key")), Bytes(32, 0x11), Bytes(32, 0x22), 1};
}

TEST(HandshakeTranscript, CanonicalBytesAreByteExact) {
    const Bytes expected{0x54, 0x57, 0x43, 0x50, 0x2F, 0x31, 0x20, 0x74, 0x72, 0x61, 0x6E, 0x73, 0x63,
                         0x72, 0x69, 0x70, 0x74, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x01, 0x41, 0x00,
                         0x00, 0x00, 0x01, 0x42, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    const auto transcript = minimalTranscript();
    EXPECT_EQ(transcript.canonicalBytes(), expected);
    const Bytes digest = transcript.digest();
    ASSERT_EQ(digest.size(), 32u);
    EXPECT_EQ(Bytes(digest.begin(), digest.begin() + 4), (Bytes{0x4d, 0x08, 0x03, 0xc3}));
}

TEST(HandshakeTranscript, SessionSizedTranscriptIs186Bytes) {
    const auto transcript = sessionSizedTranscript();
    ASSERT_EQ(transcript.initiatorSPKISHA256.size(), 43u);
    EXPECT_EQ(transcript.canonicalBytes().size(), 186u);
}

} // namespace
} // namespace tarnwick
