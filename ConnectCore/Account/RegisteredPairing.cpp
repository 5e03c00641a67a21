#include "ConnectCore/Account/RegisteredPairing.hpp"

#include "ConnectCore/Account/JSONFields.hpp"

namespace tarnwick {

std::optional<std::string> RegisteredPairing::peerFingerprint(const std::string& deviceId) const {
    if (deviceA == deviceId) {
        return spkiB;
    }
    if (deviceB == deviceId) {
        return spkiA;
    }
    return std::nullopt;
}

RegisteredPairing RegisteredPairing::decode(const nlohmann::json& object) {
    using namespace JSONFields;
    return {text(object, "pairKey"), text(object, "deviceA"), text(object, "deviceB"), text(object, "spkiA"),
            text(object, "spkiB")};
}

} // namespace tarnwick
