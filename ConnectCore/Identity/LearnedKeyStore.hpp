#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Crypto/P256Key.hpp"

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace tarnwick {

/// The peer keys seen during TLS in this run, by SPKI fingerprint, so that the handshake on the same
/// connection can check the peer's signature. Written from TLS verification and read by sessions at
/// the same time; every access holds the lock, and nothing else is locked while it is held.
class LearnedKeyStore {
public:
    /// Files the key of a P-256 SubjectPublicKeyInfo under the fingerprint of these very bytes,
    /// replacing an earlier entry. Bytes that are not one are ignored.
    void store(ByteView der);
    /// The key filed under the fingerprint, if any.
    std::optional<P256PublicKey> key(const std::string& spkiSHA256) const;

private:
    mutable std::mutex lock_;
    std::map<std::string, P256PublicKey> keys_;
};

} // namespace tarnwick
