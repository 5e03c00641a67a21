#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Certificates/SecIdentity.hpp"
#include "TarnwickConnectProtocol/Crypto/P256Key.hpp"
#include "TarnwickConnectProtocol/Messages/DevicePlatform.hpp"

#include <memory>
#include <string>

namespace tarnwick {

/// This device as it presents itself: its identifier and names, the SubjectPublicKeyInfo of its key,
/// and the TLS identity built around that key. The private key never leaves it; it only signs.
/// An immutable value: copies share the key and the TLS identity and may be used from any thread.
class DeviceIdentity {
public:
    /// Shared handle to the in-memory TLS identity, released with the last copy.
    using SecIdentityBox = std::shared_ptr<const SecIdentity>;

    /// Builds the whole identity around `privateKey`: a fresh self-signed certificate naming the
    /// device, packed in a PKCS#12 container under a random password and imported at once. Touches no
    /// file. Throws what the certificate, the container or the import throws.
    static DeviceIdentity software(std::string deviceID, std::string deviceName, DevicePlatform platform,
                                   std::string osVersion, std::string appVersion, P256PrivateKey privateKey);

    const std::string& deviceID() const { return deviceID_; }
    const std::string& deviceName() const { return deviceName_; }
    DevicePlatform platform() const { return platform_; }
    const std::string& osVersion() const { return osVersion_; }
    const std::string& appVersion() const { return appVersion_; }
    /// The 91-byte DER SubjectPublicKeyInfo, encoded exactly as the TLS layer rebuilds a peer's.
    const Bytes& spkiDER() const { return spkiDER_; }
    /// The SPKI fingerprint of `spkiDER`.
    std::string spkiSHA256() const;
    /// The certificate and key for TLS.
    const SecIdentityBox& secIdentity() const { return identityBox_; }

    /// ECDSA P-256 over the SHA-256 of `bytes` (a 32-byte digest is hashed once more), in DER form.
    Bytes sign(ByteView bytes) const;

private:
    DeviceIdentity(std::string deviceID, std::string deviceName, DevicePlatform platform,
                   std::string osVersion, std::string appVersion, Bytes spkiDER, SecIdentityBox identityBox,
                   P256PrivateKey signer);

    std::string deviceID_;
    std::string deviceName_;
    DevicePlatform platform_;
    std::string osVersion_;
    std::string appVersion_;
    Bytes spkiDER_;
    SecIdentityBox identityBox_;
    P256PrivateKey signer_;
};

} // namespace tarnwick
