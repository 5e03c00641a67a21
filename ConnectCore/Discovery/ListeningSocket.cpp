#include "ConnectCore/Discovery/ListeningSocket.hpp"

#include <asio/ip/v6_only.hpp>

namespace tarnwick::ListeningSocket {
namespace {

asio::ip::tcp::acceptor listen(const asio::any_io_executor& executor,
                               const asio::ip::tcp::endpoint& endpoint) {
    asio::ip::tcp::acceptor acceptor(executor, endpoint.protocol());
    if (endpoint.protocol() == asio::ip::tcp::v6()) {
        acceptor.set_option(asio::ip::v6_only(false));
    }
    acceptor.set_option(asio::socket_base::reuse_address(true));
    acceptor.bind(endpoint);
    acceptor.listen();
    return acceptor;
}

} // namespace

asio::ip::tcp::acceptor open(const asio::any_io_executor& executor, std::uint16_t port) {
    try {
        return listen(executor, {asio::ip::tcp::v6(), port});
    } catch (const asio::system_error&) {
        // No IPv6 on this host.
        return listen(executor, {asio::ip::tcp::v4(), port});
    }
}

} // namespace tarnwick::ListeningSocket
