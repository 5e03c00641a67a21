#include "ConnectCore/Session/SoftwareIdentity.hpp"

#include "TarnwickConnectProtocol/Certificates/SelfSignedCertificate.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"

namespace tarnwick {

SoftwareIdentity::SoftwareIdentity(std::string deviceID, std::string deviceName, DevicePlatform platform,
                                   std::string osVersion, std::string appVersion, P256PrivateKey privateKey,
                                   std::map<std::string, P256PublicKey> knownPeers)
    : deviceID_(std::move(deviceID)),
      deviceName_(std::move(deviceName)),
      platform_(platform),
      osVersion_(std::move(osVersion)),
      appVersion_(std::move(appVersion)),
      privateKey_(std::move(privateKey)),
      knownPeers_(std::move(knownPeers)) {}

std::string SoftwareIdentity::spkiSHA256() const {
    return SPKIFingerprint::compute(SelfSignedCertificate::subjectPublicKeyInfo(publicKey().x963()));
}

Bytes SoftwareIdentity::sign(ByteView digest) const {
    return privateKey_.signature(digest);
}

bool SoftwareIdentity::verify(ByteView signature, ByteView digest, const std::string& peerSPKISHA256) const {
    const auto peer = knownPeers_.find(peerSPKISHA256);
    if (peer == knownPeers_.end()) {
        throw TWCPError::authenticationFailed();
    }
    return peer->second.isValidSignature(signature, digest);
}

SoftwareIdentity SoftwareIdentity::trusting(const SoftwareIdentity& other) const {
    SoftwareIdentity copy = *this;
    copy.knownPeers_.insert_or_assign(other.spkiSHA256(), other.publicKey());
    return copy;
}

} // namespace tarnwick
