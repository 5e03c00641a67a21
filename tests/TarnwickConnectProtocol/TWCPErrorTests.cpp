#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(TWCPError, EqualOnlyWithTheSameCaseAndValue) {
    EXPECT_EQ(TWCPError::payloadTooLarge(7), TWCPError::payloadTooLarge(7));
    EXPECT_NE(TWCPError::payloadTooLarge(7), TWCPError::payloadTooLarge(8));
    EXPECT_NE(TWCPError::badMagic(7), TWCPError::payloadTooLarge(7));
    EXPECT_EQ(TWCPError::malformedPayload("AcceptMessage"), TWCPError::malformedPayload("AcceptMessage"));
    EXPECT_NE(TWCPError::malformedPayload("AcceptMessage"), TWCPError::malformedPayload("OfferMessage"));
    EXPECT_NE(TWCPError::malformedPayload("x"), TWCPError::internalFailure("x"));
    EXPECT_EQ(TWCPError::truncatedHeader(19), TWCPError::truncatedHeader(19));
    EXPECT_NE(TWCPError::truncatedHeader(19), TWCPError::truncatedHeader(0));
    EXPECT_EQ(TWCPError::cancelled(), TWCPError::cancelled());
}

} // namespace
} // namespace tarnwick
