#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/ip/tcp.hpp>

#include <cstdint>

/// Opening the TCP socket that peers connect to.
namespace tarnwick::ListeningSocket {

/// A listening socket on every local address and the given port (0: any free one). It takes IPv6 and
/// IPv4 connections alike where the host has IPv6, IPv4 only elsewhere. Throws asio::system_error.
asio::ip::tcp::acceptor open(const asio::any_io_executor& executor, std::uint16_t port);

} // namespace tarnwick::ListeningSocket
