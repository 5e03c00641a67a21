#include "TarnwickConnectProtocol/Handshake/HandshakeTranscript.hpp"

#include "TarnwickConnectProtocol/Crypto/SHA256.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <limits>
#include <string_view>

namespace tarnwick {
namespace {

using namespace std::literals;

// The trailing zero byte is part of the tag, so no tag is a prefix of another.
constexpr auto domainTag = "TWCP/1 transcript\0"sv;
// Layout of the canonical bytes; a new layout would get a new value.
constexpr std::uint8_t formatVersion = 1;

void appendLengthPrefixed(Bytes& bytes, ByteView item) {
    if (item.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw TWCPError::internalFailure("transcript item longer than a 32-bit length");
    }
    appendBigEndian(bytes, static_cast<std::uint32_t>(item.size()));
    bytes.insert(bytes.end(), item.begin(), item.end());
}

} // namespace

Bytes HandshakeTranscript::canonicalBytes() const {
    Bytes bytes(domainTag.begin(), domainTag.end());
    bytes.push_back(formatVersion);
    bytes.push_back(negotiatedVersion);
    appendLengthPrefixed(bytes, bytesOf(initiatorSPKISHA256));
    appendLengthPrefixed(bytes, bytesOf(responderSPKISHA256));
    appendLengthPrefixed(bytes, initiatorNonce);
    appendLengthPrefixed(bytes, responderNonce);
    return bytes;
}

Bytes HandshakeTranscript::digest() const {
    return SHA256::digest(canonicalBytes());
}

} // namespace tarnwick
