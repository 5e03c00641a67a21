#pragma once

#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Async/Task.hpp"
#include "ConnectCore/Reachability/ReachabilityDiagnosis.hpp"

#include <asio/generic/raw_protocol.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tarnwick {

/// Follows whether this host has a usable network path, from the kernel's link and address changes,
/// and explains from that why peers cannot be reached. Until the first reading it assumes a network.
class Reachability : public Actor, public std::enable_shared_from_this<Reachability> {
public:
    /// Told the first reading and every change of it, on the monitor's strand.
    using Observer = std::function<void(bool satisfied)>;

    /// Must be owned by a shared_ptr.
    explicit Reachability(const asio::any_io_executor& executor, Observer observer = {});

    /// Reads the path and follows its changes. Never fails: without the kernel's reports the last
    /// reading (or the assumption of a network) stands.
    asio::awaitable<void> start();
    /// Stops following; the last reading stays.
    asio::awaitable<void> stop();

    /// The verdict for the number of peers discovered now and the peer whose connection last failed.
    asio::awaitable<ReachabilityDiagnosis> diagnose(int peerCount, std::optional<std::string> lastFailedPeer);
    /// Whether the last reading found a usable network path.
    asio::awaitable<bool> isSatisfied() { return readOnStrand(isSatisfied_); }

private:
    asio::awaitable<void> startOnStrand();
    asio::awaitable<void> stopOnStrand();
    asio::awaitable<ReachabilityDiagnosis> diagnoseOnStrand(int peerCount,
                                                            std::optional<std::string> lastFailedPeer);
    static asio::awaitable<void> follow(std::weak_ptr<Reachability> weakSelf);
    asio::awaitable<bool> awaitChange();
    void read();

    Observer observer_;
    bool isSatisfied_ = true;
    bool hasRead_ = false;
    std::optional<asio::generic::raw_protocol::socket> changes_;
    Task following_;
};

} // namespace tarnwick
