#pragma once

#include "TarnwickConnectProtocol/Messages/DevicePlatform.hpp"
#include "TarnwickConnectProtocol/Messages/PeerCapabilities.hpp"

#include <cstdint>
#include <string>

namespace tarnwick {

/// Answer of the accepting side to `HelloMessage`.
struct HelloAckMessage {
    std::uint8_t negotiatedVersion = 0;
    PeerCapabilities sharedCapabilities{};
    std::string deviceID{};
    std::string deviceName{};
    DevicePlatform platform = DevicePlatform::macOS;
    /// The sender's SPKI fingerprint.
    std::string spkiSHA256{};
    bool requiresPairing = false;

    bool operator==(const HelloAckMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "HelloAckMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("negotiatedVersion", self.negotiatedVersion);
        visit("sharedCapabilities", self.sharedCapabilities);
        visit("deviceID", self.deviceID);
        visit("deviceName", self.deviceName);
        visit("platform", self.platform);
        visit("spkiSHA256", self.spkiSHA256);
        visit("requiresPairing", self.requiresPairing);
    }
};

} // namespace tarnwick
