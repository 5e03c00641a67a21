#include "TarnwickConnectProtocol/Handshake/PairingCode.hpp"

#include <gtest/gtest.h>

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

TEST(PairingCode, MatchesComparesWholeCodes) {
    EXPECT_TRUE(PairingCode::matches("123456", "123456"));
    EXPECT_FALSE(PairingCode::matches("123456", "123457"));
    EXPECT_FALSE(PairingCode::matches("123456", "023456"));
    EXPECT_FALSE(PairingCode::matches("123456", "12345"));
}

} // namespace
} // namespace tarnwick
