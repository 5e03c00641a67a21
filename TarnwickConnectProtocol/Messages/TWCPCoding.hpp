#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

/// The JSON coding of every control message: compact, keys sorted at every level, "/" unescaped, byte
/// fields as standard base64, optional fields left out when empty. Instantiated for each message type.
namespace tarnwick::TWCPCoding {

/// The message's JSON bytes. Throws `internalFailure` ("encode <Type>: <reason>") for a value JSON
/// cannot hold: a NaN or infinite number, or text that is not UTF-8.
template <class Message> Bytes encode(const Message& message);

/// Reads a message. Every problem with the bytes (invalid JSON, a missing or mistyped field, a number
/// out of range, bad base64, an unknown enumeration string) throws `malformedPayload("<Type>")`.
/// Absent and null optional fields both read as empty; unknown keys are ignored.
template <class Message> Message decode(ByteView bytes);

} // namespace tarnwick::TWCPCoding
