#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Messages/DevicePlatform.hpp"

#include <string>

namespace tarnwick {

/// This device as a session presents it: who it is, and its key for signing and checking handshakes.
class TWCPIdentity {
public:
    virtual ~TWCPIdentity() = default;

    virtual std::string deviceID() const = 0;
    virtual std::string deviceName() const = 0;
    virtual DevicePlatform platform() const = 0;
    virtual std::string osVersion() const = 0;
    virtual std::string appVersion() const = 0;
    /// This device's SPKI fingerprint.
    virtual std::string spkiSHA256() const = 0;
    /// Signs a handshake transcript digest with this device's private key (DER ECDSA); may throw.
    virtual Bytes sign(ByteView digest) const = 0;
    /// Whether the signature over the digest is valid for the key known under the peer's fingerprint;
    /// false or an error when no key is known for it.
    virtual bool verify(ByteView signature, ByteView digest, const std::string& peerSPKISHA256) const = 0;
};

} // namespace tarnwick
