#pragma once

#include "TarnwickConnectProtocol/Messages/DevicePlatform.hpp"

#include <string>

namespace tarnwick {

/// A device with a running session, ready to take files. The engine owns the session; the device is
/// known to it by the key the session authenticated.
struct ConnectedDevice {
    /// The identifier the peer announced.
    std::string id;
    std::string name;
    DevicePlatform platform = DevicePlatform::iOS;
    /// The SPKI fingerprint the session authenticated.
    std::string fingerprint;
    /// The account's registry found that both devices saw the same first contact (no relay between them).
    bool verified = false;

    /// The icon name for the device's kind.
    std::string symbol() const { return symbolFor(platform); }

    /// The icon name for a kind of device, connected or only seen.
    static std::string symbolFor(DevicePlatform platform) {
        switch (platform) {
        case DevicePlatform::macOS:
            return "laptopcomputer";
        case DevicePlatform::iPadOS:
            return "ipad";
        case DevicePlatform::iOS:
            break;
        }
        return "iphone";
    }

    bool operator==(const ConnectedDevice&) const = default;
};

} // namespace tarnwick
