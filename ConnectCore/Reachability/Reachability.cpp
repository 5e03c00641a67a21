#include "ConnectCore/Reachability/Reachability.hpp"

#include "ConnectCore/Reachability/NetworkPath.hpp"

#include <asio/experimental/as_tuple.hpp>

#include <array>

namespace tarnwick {

Reachability::Reachability(const asio::any_io_executor& executor, Observer observer)
    : Actor(executor),
      observer_(std::move(observer)) {}

asio::awaitable<void> Reachability::start() {
    return enter(startOnStrand());
}
asio::awaitable<void> Reachability::stop() {
    return enter(stopOnStrand());
}
asio::awaitable<ReachabilityDiagnosis> Reachability::diagnose(int peerCount,
                                                              std::optional<std::string> lastFailedPeer) {
    return enter(diagnoseOnStrand(peerCount, std::move(lastFailedPeer)));
}

asio::awaitable<void> Reachability::startOnStrand() {
    if (changes_) {
        co_return;
    }
    try {
        changes_.emplace(NetworkPath::changes(strand()));
    } catch (const asio::system_error&) {
        co_return;
    }
    read();
    // The loop holds the monitor weakly between changes; stop() ends it.
    following_ = Task::spawn(strand(), follow(weak_from_this()), nullptr);
}

asio::awaitable<void> Reachability::stopOnStrand() {
    following_.cancel();
    following_ = {};
    if (changes_) {
        asio::error_code ignored;
        changes_->close(ignored);
        changes_.reset();
    }
    co_return;
}

asio::awaitable<ReachabilityDiagnosis>
Reachability::diagnoseOnStrand(int peerCount, std::optional<std::string> lastFailedPeer) {
    co_return ReachabilityDiagnosis::make(isSatisfied_, peerCount, lastFailedPeer);
}

asio::awaitable<void> Reachability::follow(std::weak_ptr<Reachability> weakSelf) {
    for (;;) {
        const auto self = weakSelf.lock();
        if (!self || !self->changes_ || !co_await self->awaitChange()) {
            co_return;
        }
        self->read();
    }
}

// Waits for the kernel's next report and takes every one already queued with it, so that a burst of
// changes costs one reading. False once the socket is closed or broken.
asio::awaitable<bool> Reachability::awaitChange() {
    std::array<char, 8192> message;
    auto [error, count] = co_await changes_->async_receive(asio::buffer(message),
                                                           asio::experimental::as_tuple(asio::use_awaitable));
    // Reports lost to a full buffer still mean that something changed.
    if (error && error != asio::error::no_buffer_space) {
        co_return false;
    }
    asio::error_code ignored;
    while (changes_ && changes_->available(ignored) > 0) {
        changes_->receive(asio::buffer(message), 0, ignored);
    }
    co_return changes_.has_value();
}

void Reachability::read() {
    const auto satisfied = NetworkPath::isSatisfied();
    if (!satisfied || (hasRead_ && *satisfied == isSatisfied_)) {
        return;
    }
    isSatisfied_ = *satisfied;
    hasRead_ = true;
    if (observer_) {
        observer_(isSatisfied_);
    }
}

} // namespace tarnwick
