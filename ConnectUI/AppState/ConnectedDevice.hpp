#pragma once

#include "ConnectCore/Session/TWCPSession.hpp"
#include "ConnectCore/Transfer/TransferCoordinator.hpp"
#include "TarnwickConnectProtocol/Messages/DevicePlatform.hpp"

#include <memory>
#include <string>

namespace tarnwick {

/// A device with a running session, ready to take files.
struct ConnectedDevice {
    /// The peer's device identifier, or a fresh UUID when it sent no hello.
    std::string id;
    std::string name;
    DevicePlatform platform = DevicePlatform::iOS;
    std::shared_ptr<TWCPSession> session;
    std::shared_ptr<TransferCoordinator> transfers;

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
