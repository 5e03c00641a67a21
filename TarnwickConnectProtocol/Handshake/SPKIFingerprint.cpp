#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"

#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Crypto/SHA256.hpp"

namespace tarnwick::SPKIFingerprint {

std::string compute(ByteView spkiDER) {
    return Base64::urlEncode(SHA256::digest(spkiDER));
}

} // namespace tarnwick::SPKIFingerprint
