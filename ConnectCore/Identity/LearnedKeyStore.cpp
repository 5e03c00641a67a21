#include "ConnectCore/Identity/LearnedKeyStore.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"

namespace tarnwick {

void LearnedKeyStore::store(ByteView der) {
    std::optional<P256PublicKey> key;
    try {
        key = P256PublicKey::fromDER(der);
    } catch (const TWCPError&) {
        // Whatever a peer presents that is not a P-256 key can never verify a handshake; drop it.
        return;
    }
    const std::string fingerprint = SPKIFingerprint::compute(der);
    const std::lock_guard guard(lock_);
    keys_.insert_or_assign(fingerprint, std::move(*key));
}

std::optional<P256PublicKey> LearnedKeyStore::key(const std::string& spkiSHA256) const {
    const std::lock_guard guard(lock_);
    const auto found = keys_.find(spkiSHA256);
    return found == keys_.end() ? std::nullopt : std::optional(found->second);
}

} // namespace tarnwick
