#include "ConnectCore/Channel/TLSStream.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <asio/ssl/error.hpp>
#include <asio/use_awaitable.hpp>
#include <openssl/err.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace tarnwick {
namespace {

int descriptorOf(BIO* bio) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

bool wouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

// OpenSSL's own socket BIO writes with write(2), which raises SIGPIPE on a connection the peer has reset;
// send(2) with MSG_NOSIGNAL reports it as an error instead.
int sendToSocket(BIO* bio, const char* data, int length) {
    BIO_clear_retry_flags(bio);
    const auto sent = ::send(descriptorOf(bio), data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (sent < 0 && wouldBlock()) {
        BIO_set_retry_write(bio);
    }
    return static_cast<int>(sent);
}

int receiveFromSocket(BIO* bio, char* data, int length) {
    BIO_clear_retry_flags(bio);
    const auto received = ::recv(descriptorOf(bio), data, static_cast<std::size_t>(length), 0);
    if (received < 0 && wouldBlock()) {
        BIO_set_retry_read(bio);
    }
    return static_cast<int>(received);
}

long controlSocket(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD* socketMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* created = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "TWCP socket");
        if (created) {
            BIO_meth_set_write(created, sendToSocket);
            BIO_meth_set_read(created, receiveFromSocket);
            BIO_meth_set_ctrl(created, controlSocket);
        }
        return created;
    }();
    return method;
}

std::exception_ptr sslFailure() {
    const auto code = static_cast<int>(ERR_peek_last_error());
    return std::make_exception_ptr(
        asio::system_error(asio::error_code(code, asio::error::get_ssl_category())));
}

} // namespace

TLSStream::TLSStream(asio::ip::tcp::socket socket, SSL_CTX* context)
    : socket_(std::move(socket)),
      ssl_(SSL_new(context)) {
    BIO* bio = ssl_ && socketMethod() ? BIO_new(socketMethod()) : nullptr;
    if (!bio) {
        throw TWCPError::internalFailure("TLS connection setup failed");
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(socket_.native_handle())));
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl_.get(), bio, bio);
    socket_.non_blocking(true);
    SSL_set_mode(ssl_.get(), SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_set_read_ahead(ssl_.get(), 1);
    SSL_set_default_read_buffer_len(ssl_.get(), readAheadSize);
}

// The socket's descriptor number is reused once it is closed, so OpenSSL must never touch it afterwards.
template <typename Operation> int TLSStream::call(Operation&& operation) const {
    if (!socket_.is_open()) {
        throw asio::system_error(asio::error::operation_aborted);
    }
    ERR_clear_error();
    errno = 0;
    return operation();
}

asio::awaitable<void> TLSStream::handshake(Side side) {
    if (side == Side::client) {
        SSL_set_connect_state(ssl_.get());
    } else {
        SSL_set_accept_state(ssl_.get());
    }
    for (;;) {
        const int result = call([this] { return SSL_do_handshake(ssl_.get()); });
        if (result == 1) {
            co_return;
        }
        co_await waitOrThrow(result);
    }
}

asio::awaitable<std::size_t> TLSStream::readSome(std::span<std::uint8_t> buffer) {
    std::size_t filled = 0;
    while (filled < buffer.size() && !readEnded_) {
        std::size_t got = 0;
        const int result = call(
            [&] { return SSL_read_ex(ssl_.get(), buffer.data() + filled, buffer.size() - filled, &got); });
        filled += got;
        if (result == 1) {
            continue;
        }
        const auto interruption = interrupted(result);
        if (!interruption.wait) {
            // What arrived before the end is delivered first; the end comes with the next read.
            readEnded_ = true;
            readFailure_ = interruption.failure;
        } else if (filled > 0) {
            break;
        } else {
            gatherBeforeWaking(buffer.size());
            co_await socket_.async_wait(*interruption.wait, asio::use_awaitable);
        }
    }
    if (filled == 0 && readFailure_) {
        std::rethrow_exception(readFailure_);
    }
    co_return filled;
}

// OpenSSL may hold the start of one record; the rest of what is wanted has yet to cross the socket, so the
// kernel can be asked to wake the reader only once most of it is there rather than for every segment. An
// end of the connection wakes it whatever the mark.
void TLSStream::gatherBeforeWaking(std::size_t wanted) {
    constexpr std::size_t heldAtMost =
        SSL3_RT_HEADER_LENGTH + SSL3_RT_MAX_PLAIN_LENGTH + SSL3_RT_MAX_ENCRYPTED_OVERHEAD;
    const int lowWater =
        wanted > heldAtMost ? static_cast<int>(std::min(wanted - heldAtMost, largestGatheredRead)) : 1;
    if (lowWater != lowWater_) {
        ::setsockopt(socket_.native_handle(), SOL_SOCKET, SO_RCVLOWAT, &lowWater, sizeof lowWater);
        lowWater_ = lowWater;
    }
}

// A write of several records goes out corked, so that the kernel sends full segments rather than one per
// record, each with its own trip through the peer's network stack; uncorking sends the rest at once.
// Smaller writes, the control frames, leave as they are written.
asio::awaitable<void> TLSStream::write(ByteView bytes) {
    const bool corked = bytes.size() > SSL3_RT_MAX_PLAIN_LENGTH;
    if (corked) {
        cork(true);
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t wrote = 0;
        const int result =
            call([&] { return SSL_write_ex(ssl_.get(), bytes.data() + done, bytes.size() - done, &wrote); });
        if (result == 1) {
            done += wrote;
        } else {
            co_await waitOrThrow(result);
        }
    }
    if (corked) {
        cork(false);
    }
}

asio::awaitable<void> TLSStream::sendCloseNotify() {
    for (;;) {
        // 0 or 1: the alert is out, whether or not the peer's has arrived; that one is not waited for.
        const int result = call([this] { return SSL_shutdown(ssl_.get()); });
        if (result >= 0 || interrupted(result).wait != asio::socket_base::wait_write) {
            co_return;
        }
        co_await socket_.async_wait(asio::socket_base::wait_write, asio::use_awaitable);
    }
}

// Failing only on a closed socket, which no longer sends anyway.
void TLSStream::cork(bool on) {
    const int value = on ? 1 : 0;
    ::setsockopt(socket_.native_handle(), IPPROTO_TCP, TCP_CORK, &value, sizeof value);
}

TLSStream::Interruption TLSStream::interrupted(int result) const {
    const int systemError = errno;
    switch (SSL_get_error(ssl_.get(), result)) {
    case SSL_ERROR_WANT_READ:
        return {asio::socket_base::wait_read, nullptr};
    case SSL_ERROR_WANT_WRITE:
        return {asio::socket_base::wait_write, nullptr};
    case SSL_ERROR_ZERO_RETURN:
        return {};
    case SSL_ERROR_SYSCALL:
        // Without an error number the peer ended TCP without a closure alert.
        if (systemError != 0) {
            return {std::nullopt, std::make_exception_ptr(asio::system_error(
                                      asio::error_code(systemError, asio::system_category())))};
        }
        return ERR_peek_last_error() == 0 ? Interruption{} : Interruption{std::nullopt, sslFailure()};
    default:
        if (ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
            return {};
        }
        return {std::nullopt, sslFailure()};
    }
}

asio::awaitable<void> TLSStream::waitOrThrow(int result) {
    const auto interruption = interrupted(result);
    if (!interruption.wait) {
        std::rethrow_exception(interruption.failure
                                   ? interruption.failure
                                   : std::make_exception_ptr(asio::system_error(asio::error::eof)));
    }
    co_await socket_.async_wait(*interruption.wait, asio::use_awaitable);
}

} // namespace tarnwick
