#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

/// Where a device listens, as a person types it when discovery does not see the device: "HOST:PORT",
/// with an IPv6 address in brackets ("[fe80::1%eth0]:47810").
struct DeviceAddress {
    std::string host;
    std::uint16_t port = 0;

    /// None unless `text` is a non-empty host, a colon and a port from 1 to 65535.
    static std::optional<DeviceAddress> parse(std::string_view text);
    /// The address as it parses again.
    std::string text() const;
    /// The first endpoint the host name resolves to; throws the resolver's error.
    asio::awaitable<asio::ip::tcp::endpoint> resolve(asio::any_io_executor executor) const;

    bool operator==(const DeviceAddress&) const = default;
};

} // namespace tarnwick
