#include "ConnectCore/Discovery/VisibleServices.hpp"

namespace tarnwick {

void VisibleServices::resolved(const Instance& instance, std::optional<DiscoveredPeer> peer) {
    if (peer) {
        peers_.insert_or_assign(instance, std::move(*peer));
    } else {
        peers_.erase(instance);
    }
}

bool VisibleServices::removed(const Instance& instance) {
    return peers_.erase(instance) > 0;
}

std::vector<VisibleServices::Instance> VisibleServices::instances(const std::string& name) const {
    std::vector<Instance> named;
    for (const auto& [instance, peer] : peers_) {
        if (instance.name == name) {
            named.push_back(instance);
        }
    }
    return named;
}

std::vector<DiscoveredPeer> VisibleServices::peers() const {
    std::vector<DiscoveredPeer> list;
    const Instance* chosen = nullptr;
    for (const auto& [instance, peer] : peers_) {
        // The map is ordered by name and domain first, so the sightings of one service are neighbours.
        if (!chosen || chosen->name != instance.name || chosen->domain != instance.domain) {
            chosen = &instance;
            list.push_back(peer);
        } else if (!list.back().endpoint.address().is_v4() && peer.endpoint.address().is_v4()) {
            list.back() = peer;
        }
    }
    return list;
}

} // namespace tarnwick
