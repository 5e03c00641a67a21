#pragma once

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>

namespace tarnwick {

/// Two devices of the workspace that trust each other, with each one's key fingerprint.
struct RegisteredPairing {
    std::string pairKey;
    std::string deviceA;
    std::string deviceB;
    std::string spkiA;
    std::string spkiB;

    /// The other device's fingerprint, seen from `deviceId`; none when it is in neither place.
    std::optional<std::string> peerFingerprint(const std::string& deviceId) const;

    /// Reads the registry's JSON object; throws `DecodingError` when a text is missing.
    static RegisteredPairing decode(const nlohmann::json& object);

    bool operator==(const RegisteredPairing&) const = default;
};

} // namespace tarnwick
