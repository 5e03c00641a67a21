#pragma once

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Messages/ErrorMessage.hpp"

#include <cstdint>
#include <optional>

/// The local error that ends a transfer when the peer reports a failure or the connection ends.
namespace tarnwick::PeerError {

/// The error for an `error` frame the peer sent on one of our streams: the case with the peer's code, its
/// text value taken from the peer's message (a stream number from the frame); codes that name no case,
/// or a case whose value cannot be known here (framing errors), give `internalFailure` with the message.
TWCPError fromMessage(const ErrorMessage& message, std::uint64_t streamID);

/// The error for waits cut short by the end of a session: the case of the session's closing code when it
/// carries no value, else `peerClosed`.
TWCPError fromCloseCode(std::optional<std::uint16_t> code);

} // namespace tarnwick::PeerError
