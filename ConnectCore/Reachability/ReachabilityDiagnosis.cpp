#include "ConnectCore/Reachability/ReachabilityDiagnosis.hpp"

namespace tarnwick {

ReachabilityDiagnosis ReachabilityDiagnosis::make(bool networkSatisfied, int peerCount,
                                                  const std::optional<std::string>& lastFailedPeer) {
    if (!networkSatisfied) {
        return offline();
    }
    if (lastFailedPeer && peerCount >= 1) {
        return blockedByNetwork(*lastFailedPeer);
    }
    return peerCount < 1 ? noPeers() : reachable();
}

// "Wi‑Fi" is written with U+2011 NON-BREAKING HYPHEN, so the word never breaks across lines.
std::string ReachabilityDiagnosis::explanation() const {
    switch (kind_) {
    case Kind::reachable:
        return "Ready.";
    case Kind::offline:
        return "This computer is not on a network.";
    case Kind::noPeers:
        return "No devices nearby. Open Tarnwick on your phone, on the same Wi\u2011Fi.";
    case Kind::blockedByNetwork:
        return peerName_ + " is on this network but will not accept a direct connection. " +
               "Guest and hotel Wi\u2011Fi often block devices from talking to each other.";
    }
    return {};
}

} // namespace tarnwick
