#pragma once

#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Channel/TWCPChannel.hpp"

#include <chrono>
#include <cstdint>
#include <memory>
#include <utility>

namespace tarnwick {

/// Faults applied to an endpoint's own sends; an unset field injects nothing.
struct InMemoryChannelFaults {
    /// The send of frame N+1 fails and closes both ends.
    std::optional<std::int64_t> failAfterFrames = {};
    /// The send taking the payload total above B fails and closes both ends.
    std::optional<std::int64_t> failAfterBytes = {};
    /// Every send first sleeps this long.
    std::optional<std::chrono::nanoseconds> sendDelay = {};
    /// The frame with this zero-based index has its first payload byte inverted.
    std::optional<std::int64_t> corruptFrameAtIndex = {};
    /// The chunk with this zero-based index has its ninth payload byte (its first file byte) inverted.
    std::optional<std::int64_t> corruptChunkAtIndex = {};
};

/// Two endpoints in one process that pass frames as values, with faults that can be injected into
/// each direction's sends, so sessions and transfers can be driven through their failure paths.
class InMemoryChannel : public TWCPChannel,
                        public Actor,
                        public std::enable_shared_from_this<InMemoryChannel> {
public:
    using Faults = InMemoryChannelFaults;

    struct Counters {
        std::int64_t framesSent = 0;
        std::int64_t chunksSent = 0;
        std::int64_t bytesSent = 0; ///< payload bytes; headers are not counted
    };

    /// An unpaired endpoint: it accepts sends, counts them and delivers nothing.
    explicit InMemoryChannel(const asio::any_io_executor& executor, Faults faults = {});

    /// Two linked endpoints (initiator, responder), each applying `faults` to its own sends. The link is
    /// weak both ways: each endpoint lives as long as its user holds it.
    static std::pair<std::shared_ptr<InMemoryChannel>, std::shared_ptr<InMemoryChannel>>
    pair(const asio::any_io_executor& executor, Faults faults = {});

    asio::awaitable<void> send(TWCPFrame frame) override;
    AsyncQueue<TWCPFrame> inbound() const override { return inbound_; }
    asio::awaitable<void> frameConsumed() override { co_return; }
    asio::awaitable<void> close(std::optional<TWCPError> reason) override;
    std::optional<std::string> authenticatedPeerSPKISHA256() const override { return transportPeerKey_; }
    std::optional<P256PublicKey> authenticatedPeerKey() const override { return transportPeerPublicKey_; }

    /// What this endpoint has counted as sent.
    asio::awaitable<Counters> counters();
    /// Makes the endpoint report a transport-authenticated peer key, as a TLS channel would.
    void setAuthenticatedPeerSPKISHA256(std::optional<std::string> fingerprint,
                                        std::optional<P256PublicKey> key = std::nullopt) {
        transportPeerKey_ = std::move(fingerprint);
        transportPeerPublicKey_ = std::move(key);
    }

private:
    asio::awaitable<void> sendOnStrand(TWCPFrame frame);
    asio::awaitable<void> closeOnStrand(std::optional<TWCPError> reason);
    asio::awaitable<void> deliver(TWCPFrame frame);
    asio::awaitable<void> closedByPeer();
    asio::awaitable<Counters> countersOnStrand() { co_return counters_; }
    void applyCorruption(TWCPFrame& frame);
    bool tripsFailure() const;

    AsyncQueue<TWCPFrame> inbound_;
    std::weak_ptr<InMemoryChannel> peer_;
    Faults faults_;
    Counters counters_;
    bool isClosed_ = false;
    std::optional<std::string> transportPeerKey_;
    std::optional<P256PublicKey> transportPeerPublicKey_;
};

} // namespace tarnwick
