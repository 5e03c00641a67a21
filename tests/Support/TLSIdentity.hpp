#pragma once

#include "TarnwickConnectProtocol/Certificates/PKCS12.hpp"
#include "TarnwickConnectProtocol/Certificates/SelfSignedCertificate.hpp"
#include "TarnwickConnectProtocol/Crypto/P256Key.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"

#include <chrono>
#include <memory>

namespace tarnwick::testing {

/// A device's TLS identity built the way a start builds it: key, self-signed certificate, container, import.
struct TLSIdentity {
    P256PrivateKey key = P256PrivateKey::generate();
    std::shared_ptr<SecIdentity> identity;
    std::string spkiSHA256;

    explicit TLSIdentity(std::string_view name = "Test Device") {
        const Bytes certificate = SelfSignedCertificate::make(
            key.publicKey().x963(), name, "Tarnwick", std::nullopt, std::chrono::system_clock::now(),
            3650 * 86400.0, [this](ByteView toBeSigned) { return key.signature(toBeSigned); });
        identity = std::make_shared<SecIdentity>(
            PKCS12::identity(PKCS12::make(key.x963(), certificate, "secret"), "secret"));
        spkiSHA256 =
            SPKIFingerprint::compute(SelfSignedCertificate::subjectPublicKeyInfo(key.publicKey().x963()));
    }
};

} // namespace tarnwick::testing
