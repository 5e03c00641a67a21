#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPHeader.hpp"
#include "TarnwickConnectProtocol/Messages/TWCPCoding.hpp"

#include <cstdint>

namespace tarnwick {

/// One frame: a header and its payload. Equal when headers and payloads are equal.
struct TWCPFrame {
    TWCPHeader header;
    Bytes payload;

    /// Takes both as given, without checking that the header's length matches the payload.
    TWCPFrame(TWCPHeader header, Bytes payload);
    /// Builds the header with the payload's byte count; throws `payloadTooLarge` when that does not fit
    /// in 32 bits. Staying within `TWCP::maxPayloadLength` is the sender's duty.
    TWCPFrame(TWCPFrameKind kind, TWCPFrameFlags flags, std::uint64_t streamID, Bytes payload);

    /// The header's 20 bytes followed by the payload.
    Bytes encode() const;

    /// A frame whose payload is the message's JSON; encoding errors propagate.
    template <class Message>
    static TWCPFrame json(TWCPFrameKind kind, const Message& message, std::uint64_t streamID,
                          TWCPFrameFlags flags = {}) {
        return TWCPFrame(kind, flags, streamID, TWCPCoding::encode(message));
    }

    /// The message in the payload. A frame of another kind fails with `malformedPayload`
    /// ("expected helloAck, got pong") before the payload is looked at.
    template <class Message> Message decode(TWCPFrameKind expecting) const {
        requireKind(expecting);
        return TWCPCoding::decode<Message>(payload);
    }

    bool operator==(const TWCPFrame&) const = default;

private:
    void requireKind(TWCPFrameKind expecting) const;
};

} // namespace tarnwick
