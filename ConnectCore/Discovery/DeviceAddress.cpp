#include "ConnectCore/Discovery/DeviceAddress.hpp"

#include <asio/use_awaitable.hpp>

#include <charconv>

namespace tarnwick {

std::optional<DeviceAddress> DeviceAddress::parse(std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view host = text.substr(0, colon);
    const std::string_view portText = text.substr(colon + 1);
    if (host.starts_with('[') && host.ends_with(']')) {
        host = host.substr(1, host.size() - 2);
    } else if (host.find_first_of("[]:") != std::string_view::npos) {
        // An IPv6 address without brackets cannot be told apart from its port.
        return std::nullopt;
    }
    unsigned port = 0;
    const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (host.empty() || error != std::errc() || end != portText.data() + portText.size() || port == 0 ||
        port > 65535) {
        return std::nullopt;
    }
    return DeviceAddress{std::string(host), static_cast<std::uint16_t>(port)};
}

std::string DeviceAddress::text() const {
    const bool bracketed = host.find(':') != std::string::npos;
    return (bracketed ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

asio::awaitable<asio::ip::tcp::endpoint> DeviceAddress::resolve(asio::any_io_executor executor) const {
    asio::ip::tcp::resolver resolver(executor);
    auto resolving = resolver.async_resolve(host, std::to_string(port), asio::use_awaitable);
    const auto results = co_await std::move(resolving);
    co_return results.begin()->endpoint();
}

} // namespace tarnwick
