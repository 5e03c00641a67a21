#include "ConnectCore/Identity/DeviceTWCPIdentity.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

namespace tarnwick {

DeviceTWCPIdentity::DeviceTWCPIdentity(DeviceIdentity identity, TrustedKeys trustedKeys)
    : identity_(std::move(identity)),
      trustedKeys_(std::move(trustedKeys)) {}

DeviceTWCPIdentity DeviceTWCPIdentity::trustOnFirstUse(DeviceIdentity identity) {
    return DeviceTWCPIdentity(std::move(identity),
                              [](const std::string&) { return std::optional<P256PublicKey>(); });
}

std::shared_ptr<TWCPParameters::TLSContext> DeviceTWCPIdentity::tls() const {
    return TWCPParameters::make(*identity_.secIdentity(), TWCPParameters::Pinning::trustOnFirstUse(nullptr));
}

bool DeviceTWCPIdentity::verify(ByteView signature, ByteView digest,
                                const std::string& peerSPKISHA256) const {
    const std::optional<P256PublicKey> key = trustedKeys_ ? trustedKeys_(peerSPKISHA256) : std::nullopt;
    if (!key) {
        throw TWCPError::authenticationFailed();
    }
    return key->isValidSignature(signature, digest);
}

} // namespace tarnwick
