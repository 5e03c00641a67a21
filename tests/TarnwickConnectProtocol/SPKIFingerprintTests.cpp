#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

// Published SHA-256 vectors of "abc" and of the empty input, in fingerprint form.
TEST(SPKIFingerprint, IsUnpaddedUrlSafeBase64OfSHA256) {
    EXPECT_EQ(SPKIFingerprint::compute(bytesOf("abc")), "ungWv48Bz-pBQUDeXa4iI7ADYaOWF3qctBD_YfIAFa0");
    EXPECT_EQ(SPKIFingerprint::compute({}), "47DEQpj8HBSa-_TImW-5JCeuQeRkm5NMpJWZG3hSuFU");
}

} // namespace
} // namespace tarnwick
