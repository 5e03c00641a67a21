#pragma once

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>

namespace tarnwick {

/// A device the workspace's registry knows, identified by `deviceId`.
struct RegisteredDevice {
    std::string deviceId;
    std::string name;
    std::string platform;                     ///< this computer registers as "macos"
    std::string spkiSHA256;                   ///< the SPKI fingerprint of the device's key
    std::optional<std::string> publicKeySPKI; ///< standard base64 of its DER SubjectPublicKeyInfo
    std::optional<std::string> lastSeenAt;    ///< as the registry writes it

    /// Reads the registry's JSON object; throws `DecodingError` when a required text is missing.
    static RegisteredDevice decode(const nlohmann::json& object);

    bool operator==(const RegisteredDevice&) const = default;
};

} // namespace tarnwick
