#include "ConnectCore/Transfer/PeerError.hpp"

namespace tarnwick::PeerError {
namespace {

using Case = TWCPError::Case;

std::optional<TWCPError> withoutValue(Case errorCase) {
    switch (errorCase) {
    case Case::handshakeTimeout:
        return TWCPError::handshakeTimeout();
    case Case::authenticationFailed:
        return TWCPError::authenticationFailed();
    case Case::notPaired:
        return TWCPError::notPaired();
    case Case::pairingRejected:
        return TWCPError::pairingRejected();
    case Case::pairingExpired:
        return TWCPError::pairingExpired();
    case Case::fileVanished:
        return TWCPError::fileVanished();
    case Case::cancelled:
        return TWCPError::cancelled();
    case Case::flowViolation:
        return TWCPError::flowViolation();
    case Case::rangeOutOfBounds:
        return TWCPError::rangeOutOfBounds();
    case Case::previewUnavailable:
        return TWCPError::previewUnavailable();
    case Case::peerClosed:
        return TWCPError::peerClosed();
    default:
        return std::nullopt;
    }
}

std::optional<TWCPError> withValue(Case errorCase, const std::string& text, std::uint64_t streamID) {
    switch (errorCase) {
    case Case::unknownStream:
        return TWCPError::unknownStream(streamID);
    case Case::integrityMismatch:
        return TWCPError::integrityMismatch(text);
    case Case::rejectedByPeer:
        return TWCPError::rejectedByPeer(text);
    case Case::malformedPayload:
        return TWCPError::malformedPayload(text);
    case Case::internalFailure:
        return TWCPError::internalFailure(text);
    default:
        return std::nullopt;
    }
}

} // namespace

TWCPError fromMessage(const ErrorMessage& message, std::uint64_t streamID) {
    if (const auto errorCase = TWCPError::caseForCode(message.code)) {
        if (auto error = withoutValue(*errorCase)) {
            return *error;
        }
        if (auto error = withValue(*errorCase, message.message, streamID)) {
            return *error;
        }
    }
    return TWCPError::internalFailure(message.message);
}

TWCPError fromCloseCode(std::optional<std::uint16_t> code) {
    const auto errorCase = code ? TWCPError::caseForCode(*code) : std::nullopt;
    const auto error = errorCase ? withoutValue(*errorCase) : std::nullopt;
    return error.value_or(TWCPError::peerClosed());
}

TWCPFrame report(TWCPFrameKind kind, std::uint64_t streamID, const std::exception_ptr& failure) {
    const TWCPError error = TWCPError::from(failure).value_or(TWCPError::internalFailure(""));
    const ErrorMessage message(error, std::string(caseName(kind)) + " failed");
    return TWCPFrame::json(TWCPFrameKind::error, message, streamID);
}

} // namespace tarnwick::PeerError
