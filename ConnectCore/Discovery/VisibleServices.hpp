#pragma once

#include "ConnectCore/Discovery/DiscoveredPeer.hpp"

#include <compare>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// What a DNS-SD browse sees right now, and the peer list made from it. The same service shows up once
/// per interface and address family; the list holds it once, dialed at one of its resolved addresses.
class VisibleServices {
public:
    /// One sighting of a service, as the browser reports it.
    struct Instance {
        std::string name;
        std::string domain;
        int interfaceIndex = 0;
        int protocol = 0;
        auto operator<=>(const Instance&) const = default;
    };

    /// The instance now resolves to this peer; none (its TXT record does not make a peer) leaves it out.
    void resolved(const Instance& instance, std::optional<DiscoveredPeer> peer);
    /// The instance is gone; false when it was not in the list.
    bool removed(const Instance& instance);
    void clear() { peers_.clear(); }
    /// The sightings of the named service that resolved to a peer.
    std::vector<Instance> instances(const std::string& name) const;

    /// One peer per service name and domain, each at an IPv4 address when one of its sightings has one
    /// (that works without knowing the interface), in no particular order.
    std::vector<DiscoveredPeer> peers() const;

private:
    std::map<Instance, DiscoveredPeer> peers_;
};

} // namespace tarnwick
