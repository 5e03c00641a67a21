#include "TarnwickConnectProtocol/Handshake/PairingCode.hpp"

#include <gtest/gtest.h>

#include <utility>

namespace tarnwick {
namespace {

// One-character fingerprints, empty nonces, version 1: the smallest transcript with known values.
HandshakeTranscript minimalTranscript() {
    return {"A", "B", {}, {}, 1};
}

TEST(PairingCode, MatchesKnownCodeAndCommitment) {
    EXPECT_EQ(PairingCode::code(minimalTranscript()), "911885");
    EXPECT_EQ(PairingCode::commitment(minimalTranscript(), "dev1"),
              "ojLe4cHT1-4lfzpCsLoJq7E8zY-b5WkRJfDHha--KQo");
}

// This transcript's code hash starts 48 5c 2c 17, whose value is 151 modulo one million.
TEST(PairingCode, KeepsLeadingZeros) {
    auto transcript = minimalTranscript();
    transcript.initiatorNonce = {0xC3};
    EXPECT_EQ(PairingCode::code(transcript), "000151");
}

// Each side fills the transcript from its own role; a mix-up must not yield the same code.
TEST(PairingCode, SwappingRolesChangesDigestAndCode) {
    const HandshakeTranscript original{"initiator", "responder", {1, 2}, {3, 4}, 1};
    auto swappedKeys = original;
    std::swap(swappedKeys.initiatorSPKISHA256, swappedKeys.responderSPKISHA256);
    auto swappedNonces = original;
    std::swap(swappedNonces.initiatorNonce, swappedNonces.responderNonce);
    for (const auto& swapped : {swappedKeys, swappedNonces}) {
        EXPECT_NE(swapped, original);
        EXPECT_NE(swapped.digest(), original.digest());
        EXPECT_NE(PairingCode::code(swapped), PairingCode::code(original));
    }
}

TEST(PairingCode, MatchesComparesWholeCodes) {
    EXPECT_TRUE(PairingCode::matches("123456", "123456"));
    EXPECT_FALSE(PairingCode::matches("123456", "123457"));
    EXPECT_FALSE(PairingCode::matches("123456", "023456"));
    EXPECT_FALSE(PairingCode::matches("123456", "12345"));
    EXPECT_FALSE(PairingCode::matches("", "1"));
    EXPECT_TRUE(PairingCode::matches("", ""));
}

} // namespace
} // namespace tarnwick
