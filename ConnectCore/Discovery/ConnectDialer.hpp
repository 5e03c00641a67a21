#pragma once

#include "ConnectCore/Channel/TWCPNetworkChannel.hpp"

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>

#include <memory>

/// Opening a channel to a chosen peer.
namespace tarnwick::ConnectDialer {

/// Connects to the endpoint (normally a discovered peer's) within the connect timeout and runs TLS as
/// the client; returns the started channel, for an initiator session. Throws the connection's or the
/// channel's error unchanged (asio::error::timed_out when the peer does not answer in time).
asio::awaitable<std::shared_ptr<TWCPNetworkChannel>> connect(asio::ip::tcp::endpoint endpoint,
                                                             std::shared_ptr<TWCPParameters::TLSContext> tls);

} // namespace tarnwick::ConnectDialer
