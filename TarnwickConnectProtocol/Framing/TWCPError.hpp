#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <variant>

namespace tarnwick {

/// The one error of the protocol, session and transfer layers. Each case has a fixed wire code and
/// fatality; two errors are equal when they are the same case with equal associated values.
/// It carries no user-facing wording: the application state words it.
class TWCPError : public std::exception {
public:
    /// The cases; the raw value of each is its wire code.
    enum class Case : std::uint16_t {
        truncatedHeader = 1000,          ///< fewer than 20 header bytes; value: bytes available
        badMagic = 1001,                 ///< first word is not "TWCP"; value: the word read
        unsupportedVersion = 1002,       ///< version byte is not 1; value: the byte read
        unknownFrameKind = 1003,         ///< kind byte names no frame kind; value: the byte read
        payloadTooLarge = 1004,          ///< a length or buffered total beyond the limit; value: it
        handshakeTimeout = 1100,         ///< the handshake did not finish in time
        versionNegotiationFailed = 1101, ///< the peer speaks no version we speak; value: its version
        authenticationFailed = 1102,     ///< a signature or key did not verify
        notPaired = 1103,                ///< the peer is not paired and pairing cannot run
        pairingRejected = 1104,          ///< the user (or policy) refused the pairing code
        pairingExpired = 1105,           ///< the pairing confirmation came too late
        unknownStream = 1200,            ///< a frame for a stream nobody owns; value: the stream
        integrityMismatch = 1201,        ///< a received file's size or digest differs; value: its ID
        fileVanished = 1202,             ///< a file being sent disappeared or shrank
        rejectedByPeer = 1203,           ///< the peer rejected an offer; value: its reason
        cancelled = 1204,                ///< a transfer was cancelled
        flowViolation = 1205,            ///< the peer broke the credit window or chunk order
        rangeOutOfBounds = 1300,         ///< a byte range beyond the file
        previewUnavailable = 1301,       ///< no live preview can be given
        peerClosed = 1400,               ///< the connection ended
        malformedPayload = 1401,         ///< a payload did not decode; value: what was expected
        internalFailure = 1402,          ///< a local failure; value: its description
    };

    static TWCPError truncatedHeader(std::int64_t got);
    static TWCPError badMagic(std::uint32_t value);
    static TWCPError unsupportedVersion(std::uint8_t version);
    static TWCPError unknownFrameKind(std::uint8_t kind);
    static TWCPError payloadTooLarge(std::uint32_t length);
    static TWCPError handshakeTimeout();
    static TWCPError versionNegotiationFailed(std::uint8_t peerVersion);
    static TWCPError authenticationFailed();
    static TWCPError notPaired();
    static TWCPError pairingRejected();
    static TWCPError pairingExpired();
    static TWCPError unknownStream(std::uint64_t streamID);
    static TWCPError integrityMismatch(std::string itemID);
    static TWCPError fileVanished();
    static TWCPError rejectedByPeer(std::string reason);
    static TWCPError cancelled();
    static TWCPError flowViolation();
    static TWCPError rangeOutOfBounds();
    static TWCPError previewUnavailable();
    static TWCPError peerClosed();
    static TWCPError malformedPayload(std::string expected);
    static TWCPError internalFailure(std::string description);

    /// The error inside an exception, when it is one of these.
    static std::optional<TWCPError> from(const std::exception_ptr& error);

    /// The case whose code this is, if any.
    static std::optional<Case> caseForCode(std::uint16_t code);

    Case errorCase() const { return case_; }
    std::uint16_t code() const { return static_cast<std::uint16_t>(case_); }
    bool isFatal() const;

    /// The numeric associated value (0 for cases without one or with a text).
    std::uint64_t number() const;
    /// The `got` of `truncatedHeader`, which may be negative in principle.
    std::int64_t signedNumber() const;
    /// The text associated value ("" for cases without one).
    const std::string& text() const;

    /// The case name with its value, for diagnostics only ("payloadTooLarge(8388609)").
    const char* what() const noexcept override { return description_.c_str(); }

    friend bool operator==(const TWCPError& a, const TWCPError& b) {
        return a.case_ == b.case_ && a.value_ == b.value_;
    }

private:
    using Value = std::variant<std::monostate, std::int64_t, std::uint64_t, std::string>;
    TWCPError(Case errorCase, Value value);

    Case case_;
    Value value_;
    std::string description_;
};

/// The case name as written in the code ("authenticationFailed").
const char* caseName(TWCPError::Case errorCase);

} // namespace tarnwick
