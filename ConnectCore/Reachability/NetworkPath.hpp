#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/generic/raw_protocol.hpp>

#include <optional>

/// The host's network path as the kernel reports it over rtnetlink.
namespace tarnwick::NetworkPath {

/// Whether some interface other than loopback is up, has a carrier and holds an address other devices
/// can reach: any IPv4 address, or an IPv6 address wider than link-local. None when it cannot be read.
std::optional<bool> isSatisfied();

/// A socket on which the kernel announces every change of links and addresses; its messages only say
/// that something changed. Throws asio::system_error.
asio::generic::raw_protocol::socket changes(const asio::any_io_executor& executor);

} // namespace tarnwick::NetworkPath
