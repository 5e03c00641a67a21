#include "ConnectCore/Channel/TWCPNetworkChannel.hpp"

#include "ConnectCore/Async/Race.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"

#include <asio/dispatch.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <openssl/ssl.h>

namespace tarnwick {

TWCPNetworkChannel::TWCPNetworkChannel(asio::ip::tcp::socket socket,
                                       std::shared_ptr<TWCPParameters::TLSContext> tls, Side side,
                                       std::chrono::steady_clock::duration tlsTimeout)
    : Actor(socket.get_executor()),
      stream_(std::move(socket), tls->context().native_handle()),
      tls_(std::move(tls)),
      side_(side),
      tlsTimeout_(tlsTimeout),
      inbound_(strand()) {}

asio::awaitable<void> TWCPNetworkChannel::start() {
    return enter(startOnStrand());
}
asio::awaitable<void> TWCPNetworkChannel::send(TWCPFrame frame) {
    return enter(sendOnStrand(std::move(frame)));
}
asio::awaitable<void> TWCPNetworkChannel::frameConsumed() {
    return enter(frameConsumedOnStrand());
}
asio::awaitable<void> TWCPNetworkChannel::close(std::optional<TWCPError> reason) {
    return enter(closeOnStrand(std::move(reason)));
}
asio::awaitable<void> TWCPNetworkChannel::handshakeCompleted() {
    return enter(handshakeCompletedOnStrand());
}

std::optional<std::string> TWCPNetworkChannel::authenticatedPeerSPKISHA256() const {
    return peerSPKISHA256_;
}

std::optional<P256PublicKey> TWCPNetworkChannel::authenticatedPeerKey() const {
    return peerKey_;
}

void TWCPNetworkChannel::holdUntilAuthenticated(std::shared_ptr<void> place) {
    asio::dispatch(strand(), [weakSelf = weak_from_this(), place = std::move(place)]() mutable {
        const auto self = weakSelf.lock();
        if (!self || self->handshakeDone_ || self->isClosed_) {
            return;
        }
        self->place_ = std::move(place);
        // The deadline runs from the accept, not from whenever someone got round to the channel.
        self->deadline_ = Task::spawn(
            self->strand(), enforceDeadline(weakSelf, self->createdAt_ + authenticationDeadline), nullptr);
    });
}

// Holds the channel weakly: a channel nobody keeps has nothing left to close.
asio::awaitable<void> TWCPNetworkChannel::enforceDeadline(std::weak_ptr<TWCPNetworkChannel> weakSelf,
                                                          std::chrono::steady_clock::time_point deadline) {
    asio::steady_timer timer(co_await asio::this_coro::executor, deadline);
    co_await timer.async_wait(asio::use_awaitable);
    if (const auto self = weakSelf.lock(); self && !self->handshakeDone_) {
        self->end(std::make_exception_ptr(TWCPError::handshakeTimeout()));
    }
}

asio::ip::tcp::endpoint TWCPNetworkChannel::remoteEndpoint() const {
    asio::error_code ignored;
    return stream_.socket().remote_endpoint(ignored);
}

asio::awaitable<void> TWCPNetworkChannel::startOnStrand() {
    TWCPParameters::configureSocket(stream_.socket());
    co_await firstToFinish(handshakeTLS(), closeAfter(tlsTimeout_));
    const unsigned char* protocol = nullptr;
    unsigned int length = 0;
    SSL_get0_alpn_selected(stream_.native(), &protocol, &length);
    const std::string_view agreed(reinterpret_cast<const char*>(protocol), protocol ? length : 0);
    const auto spki = TWCPParameters::subjectPublicKeyInfo(SSL_get0_peer_certificate(stream_.native()));
    if (agreed != TWCPParameters::applicationProtocol || !spki) {
        throw TWCPError::peerClosed();
    }
    peerSPKISHA256_ = SPKIFingerprint::compute(*spki);
    peerKey_ = P256PublicKey::fromDER(*spki);
    isStarted_ = true;
    // The loop holds the channel weakly, so dropping the channel ends it.
    receiveLoop_ = Task::spawn(strand(), receiveLoop(weak_from_this()), nullptr);
}

asio::awaitable<void> TWCPNetworkChannel::handshakeTLS() {
    co_await stream_.handshake(side_);
}

// Closing the socket ends a TLS handshake that a silent peer would otherwise hold forever.
asio::awaitable<void> TWCPNetworkChannel::closeAfter(std::chrono::steady_clock::duration timeout) {
    co_await sleepFor(timeout);
    asio::error_code ignored;
    stream_.socket().close(ignored);
    throw asio::system_error(asio::error::timed_out);
}

asio::awaitable<void> TWCPNetworkChannel::receiveLoop(std::weak_ptr<TWCPNetworkChannel> weakSelf) {
    for (;;) {
        const auto self = weakSelf.lock();
        if (!self || self->isClosed_) {
            co_return;
        }
        try {
            if (!co_await self->receiveOnce()) {
                co_return;
            }
        } catch (...) {
            self->end(std::current_exception());
            co_return;
        }
    }
}

// One read and what it brings; false once the channel was closed meanwhile.
asio::awaitable<bool> TWCPNetworkChannel::receiveOnce() {
    // Straight into the framer: a chunk's payload is decrypted into the buffer it is handed on in. The
    // space is exactly what the frame still lacks, which the peer is certain to send.
    const std::size_t count = co_await stream_.readSome(framer_.receiveSpace(maximumReadSize));
    if (isClosed_) {
        co_return false;
    }
    if (count == 0) {
        throw TWCPError::peerClosed();
    }
    framer_.commitReceived(count);
    co_await ingest();
    co_return !isClosed_;
}

asio::awaitable<void> TWCPNetworkChannel::ingest() {
    while (auto frame = framer_.nextFrame()) {
        co_await waitForBufferSpace();
        if (isClosed_) {
            co_return;
        }
        pendingFrames_ += 1;
        inbound_.push(std::move(*frame));
    }
    co_await holdLargeFrameUntilReady();
}

// Judged on the header, before any of the payload is read: reads never go past the frame being received,
// so a held frame costs 20 bytes until the session is ready or its deadline closes the connection.
asio::awaitable<void> TWCPNetworkChannel::holdLargeFrameUntilReady() {
    const auto& header = framer_.pendingHeader();
    if (handshakeDone_ || !header || header->payloadLength <= maximumHandshakeFramePayload) {
        co_return;
    }
    if (header->kind <= TWCPFrameKind::authResponse) {
        throw TWCPError::payloadTooLarge(header->payloadLength);
    }
    while (!handshakeDone_ && !isClosed_) {
        const Completion<bool> ready(strand());
        readyWaiters_.push_back(ready);
        co_await ready.wait();
    }
}

asio::awaitable<void> TWCPNetworkChannel::waitForBufferSpace() {
    while (pendingFrames_ >= maximumPendingFrames && !isClosed_) {
        const Completion<bool> space(strand());
        bufferWaiters_.push_back(space);
        co_await space.wait();
    }
}

asio::awaitable<void> TWCPNetworkChannel::frameConsumedOnStrand() {
    const int before = pendingFrames_;
    pendingFrames_ = std::max(0, pendingFrames_ - 1);
    if (before <= maximumPendingFrames) {
        releaseBufferWaiters();
    }
    co_return;
}

void TWCPNetworkChannel::releaseBufferWaiters() {
    release(bufferWaiters_);
    release(readyWaiters_);
}

void TWCPNetworkChannel::release(std::vector<Completion<bool>>& waiters) {
    for (const auto& waiter : std::exchange(waiters, {})) {
        waiter.resume(true);
    }
}

asio::awaitable<void> TWCPNetworkChannel::sendOnStrand(TWCPFrame frame) {
    if (isClosed_) {
        throw TWCPError::peerClosed();
    }
    const Completion<bool> written(strand());
    Bytes header = frame.header.encode();
    if (frame.payload.size() <= joinedPayloadLimit) {
        header.insert(header.end(), frame.payload.begin(), frame.payload.end());
        frame.payload.clear();
    }
    writes_.push_back({std::move(header), std::move(frame.payload), written});
    if (!writing_) {
        // This send writes everything queued meanwhile, in order; the others wait for their turn.
        writing_ = true;
        co_await writeQueued();
    }
    co_await written.wait();
}

asio::awaitable<void> TWCPNetworkChannel::writeQueued() {
    while (!writes_.empty()) {
        PendingWrite write = std::move(writes_.front());
        writes_.pop_front();
        try {
            co_await writeFrame(write);
            write.written.resume(true);
        } catch (...) {
            write.written.fail(std::current_exception());
        }
    }
    writing_ = false;
    release(writtenWaiters_);
}

asio::awaitable<void> TWCPNetworkChannel::writeFrame(const PendingWrite& write) {
    co_await stream_.write(write.header);
    if (!write.payload.empty()) {
        co_await stream_.write(write.payload);
    }
}

asio::awaitable<void> TWCPNetworkChannel::handshakeCompletedOnStrand() {
    handshakeDone_ = true;
    release(readyWaiters_);
    deadline_.cancel();
    place_.reset();
    co_return;
}

asio::awaitable<void> TWCPNetworkChannel::closeOnStrand(std::optional<TWCPError> reason) {
    if (reason || !isStarted_ || isClosed_) {
        end(reason ? std::make_exception_ptr(*reason) : nullptr);
        co_return;
    }
    const auto self = shared_from_this();
    stopReceiving(nullptr);
    try {
        co_await withTimeout(finishSending(), closeTimeout, asio::system_error(asio::error::timed_out));
    } catch (const std::exception&) {
        // A peer that does not read or does not close in time is cut off; the close goes on all the same.
    }
    asio::error_code ignored;
    stream_.socket().close(ignored);
}

// Closing a socket that still holds unread bytes makes the kernel reset the connection, and a reset
// destroys what the peer has not read yet: the last chunks and the `complete` of a file. So everything
// queued is written, the closure alert tells the peer's TLS that nothing was cut, the write side ends,
// and whatever the peer still says is read and dropped until it closes too.
asio::awaitable<void> TWCPNetworkChannel::finishSending() {
    while (writing_) {
        const Completion<bool> written(strand());
        writtenWaiters_.push_back(written);
        co_await written.wait();
    }
    co_await stream_.sendCloseNotify();
    asio::error_code ignored;
    stream_.socket().shutdown(asio::socket_base::shutdown_send, ignored);
    co_await drainUntilPeerCloses();
}

asio::awaitable<void> TWCPNetworkChannel::drainUntilPeerCloses() {
    Bytes dropped(64 * 1024);
    for (;;) {
        auto [error, count] = co_await stream_.socket().async_read_some(
            asio::buffer(dropped), asio::experimental::as_tuple(asio::use_awaitable));
        if (error) {
            co_return;
        }
    }
}

void TWCPNetworkChannel::stopReceiving(std::exception_ptr reason) {
    isClosed_ = true;
    deadline_.cancel();
    place_.reset();
    releaseBufferWaiters();
    receiveLoop_.cancel();
    receiveLoop_ = {};
    inbound_.finish(reason);
}

void TWCPNetworkChannel::end(std::exception_ptr reason) {
    if (isClosed_) {
        return;
    }
    stopReceiving(reason);
    asio::error_code ignored;
    stream_.socket().close(ignored);
}

} // namespace tarnwick
