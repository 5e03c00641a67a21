#pragma once

#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Async/AsyncQueue.hpp"
#include "ConnectCore/Async/Completion.hpp"
#include "ConnectCore/Async/Task.hpp"
#include "ConnectCore/Channel/TWCPChannel.hpp"
#include "ConnectCore/Session/TWCPFrameSink.hpp"
#include "ConnectCore/Session/TWCPIdentity.hpp"
#include "ConnectCore/Session/TWCPPairingPolicy.hpp"
#include "ConnectCore/Session/TWCPSessionDelegate.hpp"
#include "TarnwickConnectProtocol/Handshake/HandshakeTranscript.hpp"
#include "TarnwickConnectProtocol/Messages/HelloAckMessage.hpp"
#include "TarnwickConnectProtocol/Messages/HelloMessage.hpp"
#include "TarnwickConnectProtocol/Messages/TWCPRole.hpp"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// One conversation with one peer over one channel: it authenticates the peer in a five-message
/// handshake, runs the six-digit pairing confirmation on first contact, then hands every frame but
/// pings to the transfer layer through `frames()`.
class TWCPSession : public TWCPFrameSink, public Actor, public std::enable_shared_from_this<TWCPSession> {
public:
    /// Where a session is in its life.
    struct State {
        enum class Phase { idle, handshaking, awaitingPairingConfirmation, ready, closed };
        Phase phase = Phase::idle;
        std::string code;                       ///< the code shown while awaiting confirmation
        std::optional<std::uint16_t> closeCode; ///< the error code a closed session ended with

        static State idle() { return {}; }
        static State handshaking() { return {Phase::handshaking, {}, {}}; }
        static State awaitingPairingConfirmation(std::string code) {
            return {Phase::awaitingPairingConfirmation, std::move(code), {}};
        }
        static State ready() { return {Phase::ready, {}, {}}; }
        static State closed(std::optional<std::uint16_t> code) { return {Phase::closed, {}, code}; }
        bool operator==(const State&) const = default;
    };

    /// What this side announces it can do.
    static constexpr PeerCapabilities localCapabilities{31};

    TWCPSession(const asio::any_io_executor& executor, TWCPRole role, std::shared_ptr<TWCPChannel> channel,
                std::shared_ptr<const TWCPIdentity> identity, std::shared_ptr<TWCPPairingPolicy> pairing,
                std::weak_ptr<TWCPSessionDelegate> delegate = {});

    TWCPRole role() const { return role_; }
    asio::awaitable<State> state();
    asio::awaitable<std::optional<HelloMessage>> peer();
    asio::awaitable<std::uint8_t> negotiatedVersion();
    asio::awaitable<PeerCapabilities> sharedCapabilities();
    asio::awaitable<void> setDelegate(std::weak_ptr<TWCPSessionDelegate> delegate);

    /// Starts the receive loop, once. The session must be owned by a shared_ptr.
    void start();
    /// Runs the handshake for this side's role within `timeout`, the user's confirmation included.
    /// On failure the session is closed and the error thrown.
    asio::awaitable<void> handshake(std::chrono::steady_clock::duration timeout);
    /// The frames received after the handshake, in order; the same sequence on every call. Frames that
    /// arrive before the first call are kept for it. It ends when the session does.
    AsyncQueue<TWCPFrame> frames() const { return frames_; }
    /// The consumer has dealt with one frame taken from `frames()`.
    asio::awaitable<void> frameHandled();
    /// Sends a frame on the channel as it is.
    asio::awaitable<void> send(TWCPFrame frame) override;
    /// Ends the session and its channel; no frame is sent to the peer.
    asio::awaitable<void> close(std::optional<TWCPError> error);
    /// Checks that the peer is still there while the session is ready: after `idle` without a frame from
    /// it, a ping goes out, and a peer that sends nothing within `answerWithin` has gone: the session ends
    /// with `peerClosed`. Starts once the session is ready; the session's end stops it.
    void keepAlive(std::chrono::steady_clock::duration idle,
                   std::chrono::steady_clock::duration answerWithin);

private:
    struct Waiter {
        std::uint64_t id;
        Completion<TWCPFrame> completion;
    };

    // Receive loop (TWCPSession.cpp).
    static asio::awaitable<void> receiveLoop(std::weak_ptr<TWCPSession> weakSelf,
                                             AsyncQueue<TWCPFrame> inbound);
    asio::awaitable<void> route(TWCPFrame frame);
    asio::awaitable<void> answerPing(std::uint64_t streamID);
    static asio::awaitable<void> keepAliveLoop(std::weak_ptr<TWCPSession> weakSelf,
                                               std::chrono::steady_clock::duration idle,
                                               std::chrono::steady_clock::duration answerWithin);
    asio::awaitable<void> streamEnded(std::exception_ptr error);
    asio::awaitable<void> closeOnStrand(std::optional<TWCPError> error);
    void failHandshakeWaiters(const TWCPError& error);

    // Handshake (TWCPSessionHandshake.cpp).
    asio::awaitable<void> handshakeOnStrand(std::chrono::steady_clock::duration timeout);
    asio::awaitable<void> initiatorSteps();
    asio::awaitable<void> responderSteps();
    asio::awaitable<void> confirmPairing(const HandshakeTranscript& transcript, const HelloMessage& peer);
    asio::awaitable<TWCPFrame> nextHandshakeFrame();
    template <typename Message> asio::awaitable<Message> receiveHandshake(TWCPFrameKind expecting);
    asio::awaitable<void> sendHandshake(TWCPFrame frame);
    void checkTransportBinding(const std::string& announcedSPKISHA256) const;
    void verifyPeer(const HandshakeTranscript& transcript, const Bytes& signature,
                    const std::string& peerSPKISHA256) const;
    HelloMessage localHello() const;
    TWCPFrame localHelloAck(bool requiresPairing) const;
    TWCPFrame localChallenge() const;
    TWCPFrame signedResponse(const HandshakeTranscript& transcript) const;
    asio::awaitable<void> becomeReady();

    const TWCPRole role_;
    const std::shared_ptr<TWCPChannel> channel_;
    const std::shared_ptr<const TWCPIdentity> identity_;
    const std::shared_ptr<TWCPPairingPolicy> pairing_;
    std::weak_ptr<TWCPSessionDelegate> delegate_;

    State state_;
    std::optional<HelloMessage> peer_;
    std::uint8_t negotiatedVersion_ = 1;
    PeerCapabilities sharedCapabilities_{};
    Bytes localNonce_;
    /// When the peer last sent a frame, for the liveness check.
    std::chrono::steady_clock::time_point lastHeard_;
    Task pumpTask_;
    Task keepAliveTask_;
    AsyncQueue<TWCPFrame> frames_;
    std::deque<TWCPFrame> handshakeInbox_;
    std::vector<Waiter> handshakeWaiters_;
    std::uint64_t nextWaiterID_ = 0;
};

} // namespace tarnwick
