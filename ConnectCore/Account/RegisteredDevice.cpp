#include "ConnectCore/Account/RegisteredDevice.hpp"

#include "ConnectCore/Account/JSONFields.hpp"

namespace tarnwick {

RegisteredDevice RegisteredDevice::decode(const nlohmann::json& object) {
    using namespace JSONFields;
    return {text(object, "deviceId"),
            text(object, "name"),
            text(object, "platform"),
            text(object, "spkiSHA256"),
            optionalText(object, "publicKeySPKI"),
            optionalText(object, "lastSeenAt")};
}

} // namespace tarnwick
