#include "ConnectCore/Channel/InMemoryChannel.hpp"

#include <asio/steady_timer.hpp>

namespace tarnwick {

InMemoryChannel::InMemoryChannel(const asio::any_io_executor& executor, Faults faults)
    : Actor(executor),
      inbound_(executor),
      faults_(faults) {}

std::pair<std::shared_ptr<InMemoryChannel>, std::shared_ptr<InMemoryChannel>>
InMemoryChannel::pair(const asio::any_io_executor& executor, Faults faults) {
    auto initiator = std::make_shared<InMemoryChannel>(executor, faults);
    auto responder = std::make_shared<InMemoryChannel>(executor, faults);
    initiator->peer_ = responder;
    responder->peer_ = initiator;
    return {initiator, responder};
}

asio::awaitable<void> InMemoryChannel::send(TWCPFrame frame) {
    return enter(sendOnStrand(std::move(frame)));
}

asio::awaitable<void> InMemoryChannel::close(std::optional<TWCPError> reason) {
    return enter(closeOnStrand(std::move(reason)));
}

asio::awaitable<InMemoryChannel::Counters> InMemoryChannel::counters() {
    return enter(countersOnStrand());
}

asio::awaitable<void> InMemoryChannel::sendOnStrand(TWCPFrame frame) {
    // Keeps this endpoint alive while the send hops to the peer.
    const auto self = weak_from_this().lock();
    if (isClosed_) {
        throw TWCPError::peerClosed();
    }
    if (faults_.sendDelay) {
        asio::steady_timer timer(strand(), *faults_.sendDelay);
        co_await timer.async_wait(asio::use_awaitable);
    }
    counters_.framesSent += 1;
    counters_.bytesSent += static_cast<std::int64_t>(frame.payload.size());
    if (tripsFailure()) {
        co_await closeOnStrand(TWCPError::peerClosed());
        throw TWCPError::peerClosed();
    }
    applyCorruption(frame);
    if (const auto peer = peer_.lock()) {
        co_await peer->enter(peer->deliver(std::move(frame)));
    }
}

bool InMemoryChannel::tripsFailure() const {
    return (faults_.failAfterFrames && *faults_.failAfterFrames < counters_.framesSent) ||
           (faults_.failAfterBytes && *faults_.failAfterBytes < counters_.bytesSent);
}

void InMemoryChannel::applyCorruption(TWCPFrame& frame) {
    auto& payload = frame.payload;
    if (frame.header.kind == TWCPFrameKind::chunk) {
        counters_.chunksSent += 1;
        // Byte 8 is the first file byte after the chunk's 8-byte offset.
        if (faults_.corruptChunkAtIndex == counters_.chunksSent - 1 && payload.size() >= 10) {
            payload[8] = static_cast<std::uint8_t>(~payload[8]);
        }
    }
    if (faults_.corruptFrameAtIndex == counters_.framesSent - 1 && !payload.empty()) {
        payload[0] = static_cast<std::uint8_t>(~payload[0]);
    }
}

asio::awaitable<void> InMemoryChannel::deliver(TWCPFrame frame) {
    if (!isClosed_) {
        inbound_.push(std::move(frame));
    }
    co_return;
}

asio::awaitable<void> InMemoryChannel::closeOnStrand(std::optional<TWCPError> reason) {
    if (isClosed_) {
        co_return;
    }
    const auto self = weak_from_this().lock();
    isClosed_ = true;
    inbound_.finish(reason ? std::make_exception_ptr(*reason) : nullptr);
    if (const auto peer = peer_.lock()) {
        co_await peer->enter(peer->closedByPeer());
    }
}

asio::awaitable<void> InMemoryChannel::closedByPeer() {
    if (!isClosed_) {
        isClosed_ = true;
        inbound_.finish(std::make_exception_ptr(TWCPError::peerClosed()));
    }
    co_return;
}

} // namespace tarnwick
