#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <cstdint>
#include <string>

namespace tarnwick {

/// What both sides of a handshake bind themselves to: both device keys, both nonces and the version.
/// Each side signs `digest()`; both must build the same transcript.
struct HandshakeTranscript {
    std::string initiatorSPKISHA256; ///< fingerprint of the connecting side
    std::string responderSPKISHA256; ///< fingerprint of the accepting side
    Bytes initiatorNonce;
    Bytes responderNonce;
    std::uint8_t negotiatedVersion = 0;

    /// Domain tag, format byte, version, then the four fields each behind a 4-byte big-endian length.
    Bytes canonicalBytes() const;
    /// SHA-256 of `canonicalBytes()`, the value each side signs.
    Bytes digest() const;

    bool operator==(const HandshakeTranscript&) const = default;
};

} // namespace tarnwick
