#pragma once

#include "ConnectCore/Async/AsyncQueue.hpp"
#include "TarnwickConnectProtocol/Crypto/P256Key.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPFrame.hpp"

#include <asio/awaitable.hpp>

#include <optional>
#include <string>

namespace tarnwick {

/// A connection to one peer that carries whole frames: the only thing a session talks to.
/// Frames arrive whole and in the order the peer's sends completed.
class TWCPChannel {
public:
    virtual ~TWCPChannel() = default;

    /// Delivers one frame to the peer after every frame sent before it; throws on a closed channel.
    virtual asio::awaitable<void> send(TWCPFrame frame) = 0;
    /// The frames arriving from the peer. It ends normally on an orderly close and with the error
    /// otherwise. There is one sequence, iterated by one task.
    virtual AsyncQueue<TWCPFrame> inbound() const = 0;
    /// The consumer has finished with one frame taken from `inbound`, which releases any in-flight limit.
    virtual asio::awaitable<void> frameConsumed() = 0;
    /// Ends the connection; only the first call has an effect.
    virtual asio::awaitable<void> close(std::optional<TWCPError> reason) = 0;
    /// The session on this channel has authenticated its peer; limits meant for strangers may be lifted.
    virtual asio::awaitable<void> handshakeCompleted() { co_return; }
    /// The peer's SPKI fingerprint as the transport itself authenticated it, when it did. A session
    /// refuses a peer whose handshake announces another key, so the handshake is bound to this connection.
    virtual std::optional<std::string> authenticatedPeerSPKISHA256() const { return std::nullopt; }
    /// The key behind that fingerprint. It belongs to this connection alone: the session checks the
    /// peer's signature with it, and nothing outlives the connection.
    virtual std::optional<P256PublicKey> authenticatedPeerKey() const { return std::nullopt; }
};

} // namespace tarnwick
