#pragma once

#include <optional>
#include <string>

namespace tarnwick {

/// Why peers cannot be reached, in one sentence for the user.
class ReachabilityDiagnosis {
public:
    enum class Kind {
        reachable,        ///< network up and peers present, nothing failed
        offline,          ///< no usable network path
        noPeers,          ///< network up, no peer discovered
        blockedByNetwork, ///< a discovered peer did not accept a direct connection
    };

    /// `reachable`; asynchronous results need a default value.
    ReachabilityDiagnosis() = default;

    static ReachabilityDiagnosis reachable() { return {Kind::reachable, {}}; }
    static ReachabilityDiagnosis offline() { return {Kind::offline, {}}; }
    static ReachabilityDiagnosis noPeers() { return {Kind::noPeers, {}}; }
    static ReachabilityDiagnosis blockedByNetwork(std::string peerName) {
        return {Kind::blockedByNetwork, std::move(peerName)};
    }

    /// The verdict, checked in this order: no network path; a failed peer while peers are seen; no peers.
    static ReachabilityDiagnosis make(bool networkSatisfied, int peerCount,
                                      const std::optional<std::string>& lastFailedPeer);

    Kind kind() const { return kind_; }
    /// The peer that would not connect; empty for the other kinds.
    const std::string& peerName() const { return peerName_; }

    std::string explanation() const;
    /// Whether sending through the cloud is worth offering instead.
    bool suggestsCloudFallback() const { return kind_ == Kind::blockedByNetwork; }

    bool operator==(const ReachabilityDiagnosis&) const = default;

private:
    ReachabilityDiagnosis(Kind kind, std::string peerName) : kind_(kind), peerName_(std::move(peerName)) {}

    Kind kind_ = Kind::reachable;
    std::string peerName_;
};

} // namespace tarnwick
