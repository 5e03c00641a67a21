#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>
#include <openssl/ssl.h>

#include <cstddef>
#include <exception>
#include <memory>
#include <optional>
#include <span>

namespace tarnwick {

/// TLS over one connected TCP socket, with OpenSSL reading and writing the socket itself: records are
/// decrypted where they land and encrypted straight into the kernel, without the copies through memory
/// pipes that a completion-based TLS stream needs, and one read takes every record that has arrived.
/// All calls run on one strand; one read and one write may wait at the same time.
class TLSStream {
public:
    enum class Side { client, server };

    /// Bytes OpenSSL takes from the socket at once, so one system call brings several records.
    static constexpr std::size_t readAheadSize = 128 * 1024;
    /// The most a read waits to gather before it is woken.
    static constexpr std::size_t largestGatheredRead = 256 * 1024;

    TLSStream(asio::ip::tcp::socket socket, SSL_CTX* context);

    /// Runs the TLS handshake; a TLS failure is an `asio::system_error` of the SSL category, a network
    /// one of the system category.
    asio::awaitable<void> handshake(Side side);
    /// Fills `buffer` with what has arrived, waiting while nothing has. Zero means the peer has closed the
    /// connection, with or without a TLS closure alert. The buffer's size must be bytes the peer is certain
    /// to send, such as the rest of a frame: a wait may last until much of them has arrived.
    asio::awaitable<std::size_t> readSome(std::span<std::uint8_t> buffer);
    /// Writes all of `bytes`; one that spans several records leaves in full segments.
    asio::awaitable<void> write(ByteView bytes);

    /// Sends the TLS closure alert, once the socket takes it; a connection already broken is left as it is.
    asio::awaitable<void> sendCloseNotify();

    SSL* native() const { return ssl_.get(); }
    asio::ip::tcp::socket& socket() { return socket_; }
    const asio::ip::tcp::socket& socket() const { return socket_; }

private:
    struct SSLDeleter {
        void operator()(SSL* ssl) const { SSL_free(ssl); }
    };

    /// What an unsuccessful OpenSSL call means: the readiness to wait for, or that the connection cannot
    /// go on, with the failure (none when the peer simply closed).
    struct Interruption {
        std::optional<asio::socket_base::wait_type> wait;
        std::exception_ptr failure;
    };

    /// Runs one OpenSSL call with a clean error state; throws `operation_aborted` once the socket is closed.
    template <typename Operation> int call(Operation&& operation) const;
    Interruption interrupted(int result) const;
    /// Waits until the socket allows what the call asked for, or throws why it cannot go on.
    asio::awaitable<void> waitOrThrow(int result);
    /// Holds back partly filled segments, or sends them.
    void cork(bool on);
    /// Lets the kernel gather `wanted` bytes, or a good part of them, before it wakes a waiting read.
    void gatherBeforeWaking(std::size_t wanted);

    asio::ip::tcp::socket socket_;
    std::unique_ptr<SSL, SSLDeleter> ssl_;
    int lowWater_ = 1;
    bool readEnded_ = false;
    std::exception_ptr readFailure_;
};

} // namespace tarnwick
