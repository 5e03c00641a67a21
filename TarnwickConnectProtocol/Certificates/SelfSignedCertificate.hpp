#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Certificates/DER.hpp"

#include <functional>
#include <optional>
#include <string_view>

/// The X.509 v3 certificate every device presents in TLS. Peers pin its key, never its chain, so it
/// is self-signed, names the device in its subject and alternative name, and is built by hand.
namespace tarnwick::SelfSignedCertificate {

/// Receives the to-be-signed DER and returns a DER ECDSA-SHA256 signature, or throws.
using Signer = std::function<Bytes(ByteView toBeSigned)>;

/// The certificate DER for the 65-byte uncompressed P-256 point `publicKeyX963`. Without a serial
/// number, 16 random bytes with the top bit cleared are used. Throws only what `sign` throws.
Bytes make(ByteView publicKeyX963, std::string_view commonName, std::string_view organization,
           const std::optional<Bytes>& serialNumber, DER::Instant notBefore, double validity,
           const Signer& sign);

/// SEQUENCE { SEQUENCE { id-ecPublicKey, prime256v1 }, BIT STRING point }: 91 bytes for a P-256 point.
Bytes subjectPublicKeyInfo(ByteView publicKeyX963);

/// SEQUENCE { id-ecPublicKey, prime256v1 }, the algorithm of a P-256 key wherever one is written.
Bytes keyAlgorithm();

} // namespace tarnwick::SelfSignedCertificate
