#include "TarnwickConnectProtocol/Framing/TWCP.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPHeader.hpp"
#include "tests/TarnwickConnectProtocol/ExpectTWCPError.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

const Bytes helloHeader{0x54, 0x57, 0x43, 0x50, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00,
                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05};

Bytes withByte(Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

TEST(TWCPHeader, EncodesHelloHeaderByteExact) {
    EXPECT_EQ((TWCPHeader{TWCPFrameKind::hello, {}, 0, 5}.encode()), helloHeader);
}

TEST(TWCPHeader, WritesStreamBigEndianAtOffsetEight) {
    const Bytes bytes = TWCPHeader{TWCPFrameKind::flow, {}, 0x0102030405060708, 0}.encode();
    ASSERT_EQ(bytes.size(), TWCP::headerSize);
    EXPECT_EQ(Bytes(bytes.begin() + 8, bytes.begin() + 16), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

// Flags are carried, not interpreted: bits without a name must survive.
TEST(TWCPHeader, RoundTripsEveryKindAndUnknownFlagBits) {
    for (const auto kind : allFrameKinds()) {
        const TWCPHeader header{kind, TWCPFrameFlags{0xA5F1}, 0xFFFFFFFFFFFFFFFF, TWCP::maxPayloadLength};
        const TWCPHeader decoded = TWCPHeader::decode(header.encode());
        EXPECT_EQ(decoded, header) << caseName(kind);
        EXPECT_TRUE(decoded.flags.contains(TWCPFrameFlags::endOfMessage | 0xA5F0));
    }
}

TEST(TWCPHeader, IgnoresBytesAfterTheHeader) {
    Bytes bytes = helloHeader;
    bytes.insert(bytes.end(), {1, 2, 3});
    EXPECT_EQ(TWCPHeader::decode(bytes), (TWCPHeader{TWCPFrameKind::hello, {}, 0, 5}));
}

TEST(TWCPHeader, AcceptsLargestPayloadLengthAndRefusesOneMore) {
    const Bytes largest = TWCPHeader{TWCPFrameKind::chunk, {}, 1, 0x800000}.encode();
    EXPECT_EQ(TWCPHeader::decode(largest).payloadLength, 0x800000u);
    expectTWCPError([&] { TWCPHeader::decode(withByte(largest, 19, 0x01)); },
                    TWCPError::payloadTooLarge(8'388'609));
}

TEST(TWCPHeader, RefusesUnknownKindsVersionsAndMagic) {
    for (const std::uint8_t kind : {0, 5, 17, 64}) {
        expectTWCPError([&] { TWCPHeader::decode(withByte(helloHeader, 5, kind)); },
                        TWCPError::unknownFrameKind(kind));
    }
    expectTWCPError([&] { TWCPHeader::decode(withByte(helloHeader, 4, 2)); },
                    TWCPError::unsupportedVersion(2));
    expectTWCPError([&] { TWCPHeader::decode(withByte(helloHeader, 3, 0x51)); },
                    TWCPError::badMagic(0x54574351));
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

TEST(TWCPHeader, ReportsHowManyBytesATruncatedHeaderHad) {
    expectTWCPError([&] { TWCPHeader::decode(ByteView(helloHeader).first(19)); },
                    TWCPError::truncatedHeader(19));
    expectTWCPError([&] { TWCPHeader::decode({}); }, TWCPError::truncatedHeader(0));
}

TEST(TWCPFrameKind, ListsKindsInDeclarationOrderWithWireValues) {
    std::vector<int> raws;
    for (const auto kind : allFrameKinds()) {
        raws.push_back(static_cast<int>(kind));
        EXPECT_EQ(frameKindFromRaw(static_cast<std::uint8_t>(kind)), kind);
    }
    EXPECT_EQ(raws, (std::vector<int>{1,  2,  3,  4,  10, 11, 12, 13, 14, 15, 16,
                                      30, 31, 32, 33, 34, 35, 60, 61, 62, 63}));
    int known = 0;
    for (int raw = 0; raw < 256; ++raw) {
        known += frameKindFromRaw(static_cast<std::uint8_t>(raw)).has_value();
    }
    EXPECT_EQ(known, 21);
}

} // namespace
} // namespace tarnwick
