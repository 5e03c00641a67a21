#include "TarnwickConnectProtocol/Handshake/PairingCode.hpp"

#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Crypto/SHA256.hpp"

#include <openssl/crypto.h>

namespace tarnwick::PairingCode {
namespace {

using namespace std::literals;

// Each tag carries its zero terminator so that codes and commitments never share a hash input.
constexpr auto codeTag = "TWCP/1 pairing-sas\0"sv;
constexpr auto commitmentTag = "TWCP/1 pairing-commit\0"sv;

constexpr std::uint32_t codeModulus = [] {
    std::uint32_t modulus = 1;
    for (int digit = 0; digit < digitCount; ++digit) {
        modulus *= 10;
    }
    return modulus;
}();

Bytes taggedHash(std::string_view tag, const HandshakeTranscript& transcript, std::string_view suffix = {}) {
    SHA256 hasher;
    hasher.update(bytesOf(tag));
    hasher.update(transcript.digest());
    hasher.update(bytesOf(suffix));
    return hasher.finish();
}

} // namespace

std::string code(const HandshakeTranscript& transcript) {
    const std::uint32_t value = bigEndianUInt32(taggedHash(codeTag, transcript), 0) % codeModulus;
    std::string digits = std::to_string(value);
    digits.insert(0, digitCount - digits.size(), '0');
    return digits;
}

std::string commitment(const HandshakeTranscript& transcript, std::string_view deviceID) {
    return Base64::urlEncode(taggedHash(commitmentTag, transcript, deviceID));
}

bool matches(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    // CRYPTO_memcmp visits every byte, so the time does not reveal where the codes differ.
    return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

} // namespace tarnwick::PairingCode
