#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <string>

namespace tarnwick::SPKIFingerprint {

/// The one form in which a device key is named: unpadded URL-safe base64 of the SHA-256 of its
/// DER SubjectPublicKeyInfo, always 43 characters. Fingerprints are compared as exact strings.
std::string compute(ByteView spkiDER);

} // namespace tarnwick::SPKIFingerprint
