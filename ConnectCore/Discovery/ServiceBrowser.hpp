#pragma once

#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Async/AsyncQueue.hpp"
#include "ConnectCore/Discovery/DiscoveredPeer.hpp"

#include <memory>
#include <string>
#include <vector>

namespace tarnwick {

class ServiceSearch;

/// Watches the network for devices publishing the service. Every change of what is visible yields the
/// whole list again (everything seen right now, in no defined order, this device included), so the
/// consumer never merges updates.
class ServiceBrowser : public Actor {
public:
    explicit ServiceBrowser(const asio::any_io_executor& executor);
    ~ServiceBrowser();

    /// Starts browsing; a browse already running is replaced.
    asio::awaitable<void> start();
    /// Stops browsing and ends `peers()`.
    asio::awaitable<void> stop();
    /// Looks up where the named peer listens again, for when dialing its listed endpoint failed; a new
    /// list follows once it answers.
    asio::awaitable<void> resolveAgain(std::string name);

    /// The peer lists, each complete; readable from anywhere, never failing.
    AsyncQueue<std::vector<DiscoveredPeer>> peers() const { return peers_; }

private:
    asio::awaitable<void> startOnStrand();
    asio::awaitable<void> stopOnStrand();
    asio::awaitable<void> resolveAgainOnStrand(std::string name);

    std::unique_ptr<ServiceSearch> search_;
    AsyncQueue<std::vector<DiscoveredPeer>> peers_;
};

} // namespace tarnwick
