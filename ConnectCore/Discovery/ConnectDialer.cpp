#include "ConnectCore/Discovery/ConnectDialer.hpp"

#include "ConnectCore/Async/Race.hpp"

#include <asio/this_coro.hpp>

namespace tarnwick::ConnectDialer {
namespace {

asio::awaitable<void> connectSocket(asio::ip::tcp::socket& socket, asio::ip::tcp::endpoint endpoint) {
    co_await socket.async_connect(endpoint, asio::use_awaitable);
}

} // namespace

asio::awaitable<std::shared_ptr<TWCPNetworkChannel>>
connect(asio::ip::tcp::endpoint endpoint, std::shared_ptr<TWCPParameters::TLSContext> tls) {
    asio::ip::tcp::socket socket(co_await asio::this_coro::executor);
    auto connecting = connectSocket(socket, endpoint);
    auto timedOut = asio::system_error(asio::error::timed_out);
    co_await withTimeout(std::move(connecting), TWCPParameters::connectTimeout, std::move(timedOut));
    auto channel = std::make_shared<TWCPNetworkChannel>(std::move(socket), std::move(tls),
                                                        TWCPNetworkChannel::Side::client);
    co_await channel->start();
    co_return channel;
}

} // namespace tarnwick::ConnectDialer
