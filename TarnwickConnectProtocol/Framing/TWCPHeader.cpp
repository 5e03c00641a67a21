#include "TarnwickConnectProtocol/Framing/TWCPHeader.hpp"

#include "TarnwickConnectProtocol/Framing/TWCP.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

namespace tarnwick {

Bytes TWCPHeader::encode() const {
    Bytes bytes;
    bytes.reserve(TWCP::headerSize);
    appendBigEndian(bytes, TWCP::magic);
    bytes.push_back(TWCP::version);
    bytes.push_back(static_cast<std::uint8_t>(kind));
    appendBigEndian(bytes, flags.rawValue);
    appendBigEndian(bytes, streamID);
    appendBigEndian(bytes, payloadLength);
    return bytes;
}

TWCPHeader TWCPHeader::decode(ByteView bytes) {
    if (bytes.size() < TWCP::headerSize) {
        throw TWCPError::truncatedHeader(static_cast<std::int64_t>(bytes.size()));
    }
    if (const auto magic = bigEndianUInt32(bytes, 0); magic != TWCP::magic) {
        throw TWCPError::badMagic(magic);
    }
    if (bytes[4] != TWCP::version) {
        throw TWCPError::unsupportedVersion(bytes[4]);
    }
    const auto kind = frameKindFromRaw(bytes[5]);
    if (!kind) {
        throw TWCPError::unknownFrameKind(bytes[5]);
    }
    const auto payloadLength = bigEndianUInt32(bytes, 16);
    if (payloadLength > TWCP::maxPayloadLength) {
        throw TWCPError::payloadTooLarge(payloadLength);
    }
    return {*kind, TWCPFrameFlags{bigEndianUInt16(bytes, 6)}, bigEndianUInt64(bytes, 8), payloadLength};
}

} // namespace tarnwick
