#pragma once

#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Async/Completion.hpp"
#include "ConnectCore/Async/Task.hpp"
#include "ConnectCore/Channel/TLSStream.hpp"
#include "ConnectCore/Channel/TWCPChannel.hpp"
#include "ConnectCore/Channel/TWCPParameters.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPFramer.hpp"

#include <asio/ip/tcp.hpp>

#include <deque>
#include <memory>
#include <vector>

namespace tarnwick {

/// The channel the application uses: TWCP frames over one TLS 1.3 connection on TCP. It reads at most
/// 1 MiB at a time into a framer and stops reading while 32 received frames are unconsumed, so TCP
/// holds the sender back; frames are written whole, one after another.
class TWCPNetworkChannel : public TWCPChannel,
                           public Actor,
                           public std::enable_shared_from_this<TWCPNetworkChannel> {
public:
    using Side = TLSStream::Side;

    static constexpr std::size_t maximumReadSize = 0x100000;
    static constexpr int maximumPendingFrames = 32;
    /// No handshake message comes near 64 KiB: a larger one is an attack on memory and ends the connection.
    /// Any other frame above it waits, unread, until the session is ready, and is then judged as a frame
    /// of a ready session (an offer with thumbnails may follow right behind the last handshake message).
    static constexpr std::size_t maximumHandshakeFramePayload = 64 * 1024;
    /// A connection that has not finished TLS by then is dropped, so silent strangers cannot pile up.
    static constexpr std::chrono::seconds defaultTLSTimeout{10};
    /// An accepted connection whose session is not ready by then is closed, wherever it waits.
    static constexpr std::chrono::seconds authenticationDeadline{15};
    /// The longest an orderly close takes: the frames queued are written, the TLS closure alert is sent and
    /// the peer gets this long to read everything and close its side.
    static constexpr std::chrono::seconds closeTimeout{2};

    /// Takes a connected (dialed or accepted) socket; `side` says who starts TLS.
    TWCPNetworkChannel(asio::ip::tcp::socket socket, std::shared_ptr<TWCPParameters::TLSContext> tls,
                       Side side, std::chrono::steady_clock::duration tlsTimeout = defaultTLSTimeout);

    /// Runs TLS within the TLS timeout, checks that "twcp/1" was agreed, then starts reading.
    /// Throws the platform's error when TLS fails, or `peerClosed`.
    asio::awaitable<void> start();

    asio::awaitable<void> send(TWCPFrame frame) override;
    AsyncQueue<TWCPFrame> inbound() const override { return inbound_; }
    asio::awaitable<void> frameConsumed() override;
    /// Without a reason, an orderly close of a started channel writes the frames already queued, sends the
    /// TLS closure alert and returns once the peer has read everything and closed its side, or after the
    /// close timeout; with a reason it ends the connection at once.
    asio::awaitable<void> close(std::optional<TWCPError> reason) override;
    asio::awaitable<void> handshakeCompleted() override;
    std::optional<std::string> authenticatedPeerSPKISHA256() const override;
    std::optional<P256PublicKey> authenticatedPeerKey() const override;

    /// Keeps `place` (the listener's count of unauthenticated connections) until the handshake is done or
    /// the channel ends, and closes an accepted channel not authenticated by its deadline.
    void holdUntilAuthenticated(std::shared_ptr<void> place);

    /// The peer's TCP address, for diagnostics and dialing back.
    asio::ip::tcp::endpoint remoteEndpoint() const;

private:
    /// A frame waiting to be written. A small payload is joined to its header so that the frame is one
    /// TLS record; a large one, up to 4 MiB, is never copied to sit behind its header.
    struct PendingWrite {
        Bytes header;
        Bytes payload;
        Completion<bool> written;
    };
    static constexpr std::size_t joinedPayloadLimit = 16 * 1024;

    asio::awaitable<void> startOnStrand();
    asio::awaitable<void> handshakeTLS();
    asio::awaitable<void> closeAfter(std::chrono::steady_clock::duration timeout);
    static asio::awaitable<void> enforceDeadline(std::weak_ptr<TWCPNetworkChannel> weakSelf,
                                                 std::chrono::steady_clock::time_point deadline);
    asio::awaitable<void> sendOnStrand(TWCPFrame frame);
    asio::awaitable<void> writeQueued();
    asio::awaitable<void> writeFrame(const PendingWrite& write);
    asio::awaitable<void> frameConsumedOnStrand();
    asio::awaitable<void> closeOnStrand(std::optional<TWCPError> reason);
    asio::awaitable<void> handshakeCompletedOnStrand();
    static asio::awaitable<void> receiveLoop(std::weak_ptr<TWCPNetworkChannel> weakSelf);
    asio::awaitable<bool> receiveOnce();
    asio::awaitable<void> ingest();
    asio::awaitable<void> waitForBufferSpace();
    asio::awaitable<void> holdLargeFrameUntilReady();
    asio::awaitable<void> finishSending();
    asio::awaitable<void> drainUntilPeerCloses();
    void stopReceiving(std::exception_ptr reason);
    void end(std::exception_ptr reason);
    void releaseBufferWaiters();
    static void release(std::vector<Completion<bool>>& waiters);

    TLSStream stream_;
    const std::shared_ptr<TWCPParameters::TLSContext> tls_;
    const Side side_;
    const std::chrono::steady_clock::duration tlsTimeout_;
    TWCPFramer framer_;
    bool isClosed_ = false;
    bool isStarted_ = false;
    bool handshakeDone_ = false;
    int pendingFrames_ = 0;
    std::vector<Completion<bool>> bufferWaiters_;
    /// Reads held back by a large frame until the handshake is done.
    std::vector<Completion<bool>> readyWaiters_;
    std::deque<PendingWrite> writes_;
    bool writing_ = false;
    /// Closes waiting for the queued frames to be written.
    std::vector<Completion<bool>> writtenWaiters_;
    Task receiveLoop_;
    const std::chrono::steady_clock::time_point createdAt_ = std::chrono::steady_clock::now();
    std::shared_ptr<void> place_;
    Task deadline_;
    AsyncQueue<TWCPFrame> inbound_;
    std::optional<std::string> peerSPKISHA256_;
    std::optional<P256PublicKey> peerKey_;
};

} // namespace tarnwick
