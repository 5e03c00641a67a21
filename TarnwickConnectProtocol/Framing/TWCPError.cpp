#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <array>
#include <stdexcept>
#include <utility>

namespace tarnwick {
namespace {

using Case = TWCPError::Case;

struct CaseInfo {
    Case errorCase;
    const char* name;
    bool isFatal;
};

constexpr std::array<CaseInfo, 22> caseTable{{
    {Case::truncatedHeader, "truncatedHeader", true},
    {Case::badMagic, "badMagic", true},
    {Case::unsupportedVersion, "unsupportedVersion", true},
    {Case::unknownFrameKind, "unknownFrameKind", false},
    {Case::payloadTooLarge, "payloadTooLarge", true},
    {Case::handshakeTimeout, "handshakeTimeout", true},
    {Case::versionNegotiationFailed, "versionNegotiationFailed", true},
    {Case::authenticationFailed, "authenticationFailed", true},
    {Case::notPaired, "notPaired", true},
    {Case::pairingRejected, "pairingRejected", false},
    {Case::pairingExpired, "pairingExpired", false},
    {Case::unknownStream, "unknownStream", false},
    {Case::integrityMismatch, "integrityMismatch", false},
    {Case::fileVanished, "fileVanished", false},
    {Case::rejectedByPeer, "rejectedByPeer", false},
    {Case::cancelled, "cancelled", false},
    {Case::flowViolation, "flowViolation", true},
    {Case::rangeOutOfBounds, "rangeOutOfBounds", false},
    {Case::previewUnavailable, "previewUnavailable", false},
    {Case::peerClosed, "peerClosed", true},
    {Case::malformedPayload, "malformedPayload", false},
    {Case::internalFailure, "internalFailure", false},
}};

const CaseInfo& infoFor(Case errorCase) {
    for (const auto& info : caseTable) {
        if (info.errorCase == errorCase) {
            return info;
        }
    }
    throw std::invalid_argument("unknown TWCPError case");
}

} // namespace

TWCPError::TWCPError(Case errorCase, Value value) : case_(errorCase), value_(std::move(value)) {
    description_ = caseName(case_);
    if (const auto* number = std::get_if<std::uint64_t>(&value_)) {
        description_.append("(").append(std::to_string(*number)).append(")");
    } else if (const auto* got = std::get_if<std::int64_t>(&value_)) {
        description_.append("(").append(std::to_string(*got)).append(")");
    } else if (const auto* text = std::get_if<std::string>(&value_)) {
        description_.append("(").append(*text).append(")");
    }
}

TWCPError TWCPError::truncatedHeader(std::int64_t got) {
    return {Case::truncatedHeader, got};
}
TWCPError TWCPError::badMagic(std::uint32_t value) {
    return {Case::badMagic, std::uint64_t{value}};
}
TWCPError TWCPError::unsupportedVersion(std::uint8_t version) {
    return {Case::unsupportedVersion, std::uint64_t{version}};
}
TWCPError TWCPError::unknownFrameKind(std::uint8_t kind) {
    return {Case::unknownFrameKind, std::uint64_t{kind}};
}
TWCPError TWCPError::payloadTooLarge(std::uint32_t length) {
    return {Case::payloadTooLarge, std::uint64_t{length}};
}
TWCPError TWCPError::handshakeTimeout() {
    return {Case::handshakeTimeout, {}};
}
TWCPError TWCPError::versionNegotiationFailed(std::uint8_t peerVersion) {
    return {Case::versionNegotiationFailed, std::uint64_t{peerVersion}};
}
TWCPError TWCPError::authenticationFailed() {
    return {Case::authenticationFailed, {}};
}
TWCPError TWCPError::notPaired() {
    return {Case::notPaired, {}};
}
TWCPError TWCPError::pairingRejected() {
    return {Case::pairingRejected, {}};
}
TWCPError TWCPError::pairingExpired() {
    return {Case::pairingExpired, {}};
}
TWCPError TWCPError::unknownStream(std::uint64_t streamID) {
    return {Case::unknownStream, streamID};
}
TWCPError TWCPError::integrityMismatch(std::string itemID) {
    return {Case::integrityMismatch, std::move(itemID)};
}
TWCPError TWCPError::fileVanished() {
    return {Case::fileVanished, {}};
}
TWCPError TWCPError::rejectedByPeer(std::string reason) {
    return {Case::rejectedByPeer, std::move(reason)};
}
TWCPError TWCPError::cancelled() {
    return {Case::cancelled, {}};
}
TWCPError TWCPError::flowViolation() {
    return {Case::flowViolation, {}};
}
TWCPError TWCPError::rangeOutOfBounds() {
    return {Case::rangeOutOfBounds, {}};
}
TWCPError TWCPError::previewUnavailable() {
    return {Case::previewUnavailable, {}};
}
TWCPError TWCPError::peerClosed() {
    return {Case::peerClosed, {}};
}
TWCPError TWCPError::malformedPayload(std::string expected) {
    return {Case::malformedPayload, std::move(expected)};
}
TWCPError TWCPError::internalFailure(std::string description) {
    return {Case::internalFailure, std::move(description)};
}

std::optional<TWCPError> TWCPError::from(const std::exception_ptr& error) {
    if (!error) {
        return std::nullopt;
    }
    try {
        std::rethrow_exception(error);
    } catch (const TWCPError& twcp) {
        return twcp;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<TWCPError::Case> TWCPError::caseForCode(std::uint16_t code) {
    for (const auto& info : caseTable) {
        if (static_cast<std::uint16_t>(info.errorCase) == code) {
            return info.errorCase;
        }
    }
    return std::nullopt;
}

bool TWCPError::isFatal() const {
    return infoFor(case_).isFatal;
}

std::uint64_t TWCPError::number() const {
    if (const auto* number = std::get_if<std::uint64_t>(&value_)) {
        return *number;
    }
    return 0;
}

std::int64_t TWCPError::signedNumber() const {
    if (const auto* got = std::get_if<std::int64_t>(&value_)) {
        return *got;
    }
    return static_cast<std::int64_t>(number());
}

const std::string& TWCPError::text() const {
    static const std::string none;
    const auto* text = std::get_if<std::string>(&value_);
    return text ? *text : none;
}

const char* caseName(TWCPError::Case errorCase) {
    return infoFor(errorCase).name;
}

} // namespace tarnwick
