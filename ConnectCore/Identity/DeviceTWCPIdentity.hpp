#pragma once

#include "ConnectCore/Channel/TWCPParameters.hpp"
#include "ConnectCore/Identity/DeviceIdentity.hpp"
#include "ConnectCore/Session/TWCPIdentity.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace tarnwick {

/// The device identity as sessions use it: it names this device, signs transcript digests, and checks
/// a peer's signature with a key known in advance when the connection itself authenticated none. An
/// immutable value safe to share between threads.
class DeviceTWCPIdentity : public TWCPIdentity {
public:
    /// Answers with the key known in advance for a fingerprint, if any; called from any thread.
    using TrustedKeys = std::function<std::optional<P256PublicKey>(const std::string& spkiSHA256)>;

    DeviceTWCPIdentity(DeviceIdentity identity, TrustedKeys trustedKeys);

    /// Knows no key in advance: every session checks its peer with the key TLS authenticated on that
    /// session's own connection, so nothing is kept per connection attempt. The application's form.
    static DeviceTWCPIdentity trustOnFirstUse(DeviceIdentity identity);

    /// This device's TLS set-up, pinning on first use: every well-formed peer key passes TLS, and the
    /// connection hands it to its session alone.
    std::shared_ptr<TWCPParameters::TLSContext> tls() const;

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
    DeviceIdentity identity_;
    TrustedKeys trustedKeys_;
};

} // namespace tarnwick
