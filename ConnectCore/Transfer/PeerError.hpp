#pragma once

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPFrame.hpp"
#include "TarnwickConnectProtocol/Messages/ErrorMessage.hpp"

#include <cstdint>
#include <exception>
#include <optional>

/// Errors between the two ends of a transfer: the local error that ends a transfer when the peer reports
/// a failure or the connection ends, and the report this side sends when it cannot handle a frame.
namespace tarnwick::PeerError {

/// The error for an `error` frame the peer sent on one of our streams: the case with the peer's code, its
/// text value taken from the peer's message (a stream number from the frame); codes that name no case,
/// or a case whose value cannot be known here (framing errors), give `internalFailure` with the message.
TWCPError fromMessage(const ErrorMessage& message, std::uint64_t streamID);

/// The error for waits cut short by the end of a session: the case of the session's closing code when it
/// carries no value, else `peerClosed`.
TWCPError fromCloseCode(std::optional<std::uint16_t> code);

/// The `error` frame that answers a frame of `kind` on `streamID` this side failed to handle. Errors
/// other than the protocol's (a file system's, for one) are reported as `internalFailure`; the text names
/// only the frame kind, never the local error.
TWCPFrame report(TWCPFrameKind kind, std::uint64_t streamID, const std::exception_ptr& failure);

} // namespace tarnwick::PeerError
