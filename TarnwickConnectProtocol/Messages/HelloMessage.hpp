#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Messages/DevicePlatform.hpp"
#include "TarnwickConnectProtocol/Messages/PeerCapabilities.hpp"
#include "TarnwickConnectProtocol/Messages/TWCPRole.hpp"

#include <cstdint>
#include <string>

namespace tarnwick {

/// First frame of the connecting side: who it is, what it offers, and its nonce.
struct HelloMessage {
    std::uint8_t version = 0;
    TWCPRole role = TWCPRole::initiator;
    std::string deviceID{};
    std::string deviceName{};
    DevicePlatform platform = DevicePlatform::macOS;
    std::string osVersion{};
    std::string appVersion{};
    /// The sender's SPKI fingerprint.
    std::string spkiSHA256{};
    PeerCapabilities capabilities{};
    Bytes nonce{};

    bool operator==(const HelloMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "HelloMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("version", self.version);
        visit("role", self.role);
        visit("deviceID", self.deviceID);
        visit("deviceName", self.deviceName);
        visit("platform", self.platform);
        visit("osVersion", self.osVersion);
        visit("appVersion", self.appVersion);
        visit("spkiSHA256", self.spkiSHA256);
        visit("capabilities", self.capabilities);
        visit("nonce", self.nonce);
    }
};

} // namespace tarnwick
