#pragma once

#include "ConnectCore/Session/TWCPIdentity.hpp"
#include "TarnwickConnectProtocol/Crypto/P256Key.hpp"

#include <map>

namespace tarnwick {

/// An identity whose key lives only in memory, with the public keys of the peers it trusts: what
/// sessions inside one process (tests, benchmarks) authenticate with.
class SoftwareIdentity : public TWCPIdentity {
public:
    SoftwareIdentity(std::string deviceID, std::string deviceName, DevicePlatform platform,
                     std::string osVersion, std::string appVersion, P256PrivateKey privateKey,
                     std::map<std::string, P256PublicKey> knownPeers = {});

    std::string deviceID() const override { return deviceID_; }
    std::string deviceName() const override { return deviceName_; }
    DevicePlatform platform() const override { return platform_; }
    std::string osVersion() const override { return osVersion_; }
    std::string appVersion() const override { return appVersion_; }
    std::string spkiSHA256() const override;
    Bytes sign(ByteView digest) const override;
    /// Throws authenticationFailed for an unknown fingerprint or bytes that are no DER signature.
    bool verify(ByteView signature, ByteView digest, const std::string& peerSPKISHA256) const override;

    P256PublicKey publicKey() const { return privateKey_.publicKey(); }
    /// A copy that also trusts `other`'s key, filed under its fingerprint.
    SoftwareIdentity trusting(const SoftwareIdentity& other) const;

private:
    std::string deviceID_;
    std::string deviceName_;
    DevicePlatform platform_;
    std::string osVersion_;
    std::string appVersion_;
    P256PrivateKey privateKey_;
    std::map<std::string, P256PublicKey> knownPeers_;
};

} // namespace tarnwick
