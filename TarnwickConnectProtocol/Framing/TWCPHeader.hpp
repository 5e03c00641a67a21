#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPFrameFlags.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPFrameKind.hpp"

#include <cstdint>

namespace tarnwick {

/// The fixed 20-byte frame header: magic, version, kind, flags, stream, payload length, big-endian.
/// Magic and version are written on encode and checked on decode, not stored.
struct TWCPHeader {
    TWCPFrameKind kind = TWCPFrameKind::hello;
    TWCPFrameFlags flags{};
    std::uint64_t streamID = 0;
    std::uint32_t payloadLength = 0;

    /// Exactly `TWCP::headerSize` bytes.
    Bytes encode() const;

    /// Reads the first 20 bytes (later ones are ignored). Throws `truncatedHeader`, `badMagic`,
    /// `unsupportedVersion`, `unknownFrameKind` or `payloadTooLarge`, checked in that order.
    static TWCPHeader decode(ByteView bytes);

    bool operator==(const TWCPHeader&) const = default;
};

} // namespace tarnwick
