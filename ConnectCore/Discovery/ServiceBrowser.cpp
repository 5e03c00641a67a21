#include "ConnectCore/Discovery/ServiceBrowser.hpp"

#include "ConnectCore/Discovery/ServiceSearch.hpp"

namespace tarnwick {

ServiceBrowser::ServiceBrowser(const asio::any_io_executor& executor) : Actor(executor), peers_(executor) {}

ServiceBrowser::~ServiceBrowser() = default;

asio::awaitable<void> ServiceBrowser::start() {
    return enter(startOnStrand());
}
asio::awaitable<void> ServiceBrowser::stop() {
    return enter(stopOnStrand());
}
asio::awaitable<void> ServiceBrowser::resolveAgain(std::string name) {
    return enter(resolveAgainOnStrand(std::move(name)));
}

asio::awaitable<void> ServiceBrowser::startOnStrand() {
    search_.reset();
    // Avahi's thread pushes each list straight into the queue, which takes values from any thread.
    search_ = std::make_unique<ServiceSearch>(
        [peers = peers_](std::vector<DiscoveredPeer> list) { peers.push(std::move(list)); });
    co_return;
}

asio::awaitable<void> ServiceBrowser::resolveAgainOnStrand(std::string name) {
    if (search_) {
        search_->resolveAgain(name);
    }
    co_return;
}

asio::awaitable<void> ServiceBrowser::stopOnStrand() {
    search_.reset();
    peers_.finish();
    co_return;
}

} // namespace tarnwick
