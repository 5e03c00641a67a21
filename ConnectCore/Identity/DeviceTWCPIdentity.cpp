#include "ConnectCore/Identity/DeviceTWCPIdentity.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

namespace tarnwick {

DeviceTWCPIdentity::DeviceTWCPIdentity(DeviceIdentity identity, TrustedKeys trustedKeys)
    : DeviceTWCPIdentity(std::move(identity), std::move(trustedKeys), nullptr) {}

DeviceTWCPIdentity::DeviceTWCPIdentity(DeviceIdentity identity, TrustedKeys trustedKeys,
                                       std::shared_ptr<LearnedKeyStore> learnedKeys)
    : identity_(std::move(identity)),
      trustedKeys_(std::move(trustedKeys)),
      learnedKeys_(std::move(learnedKeys)) {}

DeviceTWCPIdentity DeviceTWCPIdentity::trustOnFirstUse(DeviceIdentity identity) {
    return DeviceTWCPIdentity(
        std::move(identity), [](const std::string&) { return std::optional<P256PublicKey>(); },
        std::make_shared<LearnedKeyStore>());
}

void DeviceTWCPIdentity::learn(ByteView peerSPKIDER) const {
    if (learnedKeys_) {
        learnedKeys_->store(peerSPKIDER);
    }
}

std::shared_ptr<TWCPParameters::TLSContext> DeviceTWCPIdentity::learningTLS() const {
    // The copy shares this identity's learned-key store.
    return TWCPParameters::make(
        *identity_.secIdentity(),
        TWCPParameters::Pinning::trustOnFirstUse([self = *this](const Bytes& spki) { self.learn(spki); }));
}

bool DeviceTWCPIdentity::verify(ByteView signature, ByteView digest,
                                const std::string& peerSPKISHA256) const {
    std::optional<P256PublicKey> key = trustedKeys_ ? trustedKeys_(peerSPKISHA256) : std::nullopt;
    if (!key && learnedKeys_) {
        key = learnedKeys_->key(peerSPKISHA256);
    }
    if (!key) {
        throw TWCPError::authenticationFailed();
    }
    return key->isValidSignature(signature, digest);
}

} // namespace tarnwick
