#pragma once

#include "ConnectCore/Channel/TWCPParameters.hpp"
#include "ConnectCore/Identity/DeviceIdentity.hpp"
#include "ConnectCore/Identity/LearnedKeyStore.hpp"
#include "ConnectCore/Session/TWCPIdentity.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace tarnwick {

/// The device identity as sessions use it: it names this device, signs transcript digests, and checks
/// a peer's signature with a key known in advance or, failing that, one learned from TLS. An immutable
/// value safe to share between threads; copies share one learned-key store.
class DeviceTWCPIdentity : public TWCPIdentity {
public:
    /// Answers with the key known in advance for a fingerprint, if any; called from any thread.
    using TrustedKeys = std::function<std::optional<P256PublicKey>(const std::string& spkiSHA256)>;

    /// Checks signatures with `trustedKeys` only; nothing is learned.
    DeviceTWCPIdentity(DeviceIdentity identity, TrustedKeys trustedKeys);

    /// Knows no key in advance and learns every peer key TLS reports: the application's form.
    static DeviceTWCPIdentity trustOnFirstUse(DeviceIdentity identity);

    /// Records a peer's DER SubjectPublicKeyInfo when there is a learned store and the bytes are a
    /// P-256 key; anything else is ignored.
    void learn(ByteView peerSPKIDER) const;

    /// This device's TLS set-up, pinning on first use: every peer key TLS sees is taught to this
    /// identity (and its copies), which then checks the handshake's signatures with it.
    std::shared_ptr<TWCPParameters::TLSContext> learningTLS() const;

    const DeviceIdentity& identity() const { return identity_; }

    std::string deviceID() const override { return identity_.deviceID(); }
    std::string deviceName() const override { return identity_.deviceName(); }
    DevicePlatform platform() const override { return identity_.platform(); }
    std::string osVersion() const override { return identity_.osVersion(); }
    std::string appVersion() const override { return identity_.appVersion(); }
    std::string spkiSHA256() const override { return identity_.spkiSHA256(); }
    Bytes sign(ByteView digest) const override { return identity_.sign(digest); }
    /// Throws authenticationFailed when no key is known for the fingerprint or the bytes are no DER
    /// signature; a well-formed wrong signature gives false.
    bool verify(ByteView signature, ByteView digest, const std::string& peerSPKISHA256) const override;

private:
    DeviceTWCPIdentity(DeviceIdentity identity, TrustedKeys trustedKeys,
                       std::shared_ptr<LearnedKeyStore> learnedKeys);

    DeviceIdentity identity_;
    TrustedKeys trustedKeys_;
    std::shared_ptr<LearnedKeyStore> learnedKeys_;
};

} // namespace tarnwick
