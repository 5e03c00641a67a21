#include "TarnwickConnectProtocol/Framing/TWCP.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPHeader.hpp"
#include "tests/TarnwickConnectProtocol/ExpectTWCPError.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

// Every multi-byte field is big-endian.
const TWCPHeader hello{TWCPFrameKind::hello, TWCPFrameFlags{0x0102}, 0x030405060708090A, 5};
const Bytes helloHeader{0x54, 0x57, 0x43, 0x50, 0x01, 0x01, 0x01, 0x02, 0x03, 0x04,
                        0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x00, 0x00, 0x00, 0x05};

Bytes withByte(Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

// The payload that follows the header is not the header's business.
TEST(TWCPHeader, EncodesAndDecodesByteExact) {
    EXPECT_EQ(hello.encode(), helloHeader);
    Bytes withPayload = helloHeader;
    withPayload.insert(withPayload.end(), {1, 2, 3});
    EXPECT_EQ(TWCPHeader::decode(withPayload), hello);
}

// Flags are carried, not interpreted: bits without a name must survive.
TEST(TWCPHeader, RoundTripsEveryKindWithItsWireValueAndUnknownFlagBits) {
    std::vector<int> raws;
    for (const auto kind : allFrameKinds()) {
        const TWCPHeader header{kind, TWCPFrameFlags{0xA5F1}, 0xFFFFFFFFFFFFFFFF, TWCP::maxPayloadLength};
        EXPECT_EQ(TWCPHeader::decode(header.encode()), header) << caseName(kind);
        raws.push_back(header.encode()[5]);
    }
    EXPECT_EQ(raws, (std::vector<int>{1,  2,  3,  4,  10, 11, 12, 13, 14, 15, 16,
                                      30, 31, 32, 33, 34, 35, 60, 61, 62, 63}));
}

TEST(TWCPHeader, AcceptsLargestPayloadLengthAndRefusesOneMore) {
    const Bytes largest = TWCPHeader{TWCPFrameKind::chunk, {}, 1, 0x800000}.encode();
    EXPECT_EQ(TWCPHeader::decode(largest).payloadLength, 0x800000u);
    expectTWCPError([&] { TWCPHeader::decode(withByte(largest, 19, 0x01)); },
                    TWCPError::payloadTooLarge(8'388'609));
}

// Values between and beyond the known kinds are refused.
TEST(TWCPHeader, RefusesUnknownKinds) {
    for (const std::uint8_t kind : {5, 17, 64}) {
        expectTWCPError([&] { TWCPHeader::decode(withByte(helloHeader, 5, kind)); },
                        TWCPError::unknownFrameKind(kind));
    }
}

// With everything wrong at once, the first check in wire order decides.
TEST(TWCPHeader, ChecksMagicThenVersionThenKindThenLength) {
    Bytes bad = withByte(withByte(withByte(withByte(helloHeader, 0, 0), 4, 9), 5, 0), 16, 0xFF);
    expectTWCPError([&] { TWCPHeader::decode(bad); }, TWCPError::badMagic(0x00574350));
    bad[0] = 0x54;
    expectTWCPError([&] { TWCPHeader::decode(bad); }, TWCPError::unsupportedVersion(9));
    bad[4] = 1;
    expectTWCPError([&] { TWCPHeader::decode(bad); }, TWCPError::unknownFrameKind(0));
    bad[5] = 1;
    expectTWCPError([&] { TWCPHeader::decode(bad); }, TWCPError::payloadTooLarge(0xFF000005));
}

} // namespace
} // namespace tarnwick
