#pragma once

#include "ConnectCore/Discovery/TXTRecord.hpp"
#include "TarnwickConnectProtocol/Messages/PeerCapabilities.hpp"

#include <asio/ip/tcp.hpp>

#include <optional>
#include <string>

namespace tarnwick {

/// A device seen on the network. Peers are the same device when their identifier and key are.
struct DiscoveredPeer {
    std::string id;
    /// The service instance name, which is the peer's device name.
    std::string name;
    std::string fingerprint;
    std::optional<std::string> model;
    std::optional<std::string> osVersion;
    PeerCapabilities capabilities;
    /// Where to dial it: a resolved address (with its interface for link-local IPv6) and port.
    asio::ip::tcp::endpoint endpoint;

    bool operator==(const DiscoveredPeer& other) const {
        return id == other.id && fingerprint == other.fingerprint;
    }

    /// The peer a resolved service describes; none without "pid" or "spki". "cap" is an unsigned 32-bit
    /// decimal number with an optional "+"; anything else, or no "cap", gives no capabilities.
    static std::optional<DiscoveredPeer> fromService(std::string name, const TXTRecord& txt,
                                                     asio::ip::tcp::endpoint endpoint);
};

} // namespace tarnwick
