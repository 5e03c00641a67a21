// A relay in the middle at first contact, for relay-at-first-contact.sh: it listens on an address of its
// own for the first device's dial, passing itself off as the second device, and dials the second device in
// the first one's name, terminating TLS on both sides with keys of its own. Prints "listening <port>" once
// it listens and "relayed" once both handshakes are through; then holds both connections until killed.
// Usage: RelayInTheMiddle <listen address> <device address> <device port> <dialler id> <dialler name>
//                         <dialled id> <dialled name>

#include "tests/Support/HandshakeRelay.hpp"

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>
#include <asio/use_awaitable.hpp>

#include <iostream>

namespace {

using namespace tarnwick;

struct Options {
    asio::ip::address listenAddress;
    asio::ip::address deviceAddress;
    std::uint16_t devicePort = 0;
    testing::HandshakeRelay::Disguise dialler;
    testing::HandshakeRelay::Disguise dialled;
};

asio::awaitable<void> relay(testing::HandshakeRelay& relay, Options options) {
    const std::uint16_t port = co_await relay.listen(options.listenAddress);
    std::cout << "listening " << port << std::endl;
    auto answering = relay.answer(options.dialled);
    co_await std::move(answering);
    auto dialling = relay.dial(options.devicePort, options.dialler, options.deviceAddress);
    co_await std::move(dialling);
    std::cout << "relayed" << std::endl;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 8) {
        std::cerr << "usage: RelayInTheMiddle <listen address> <device address> <device port> <dialler id> "
                     "<dialler name> <dialled id> <dialled name>\n";
        return 2;
    }
    const Options options{asio::ip::make_address(argv[1]),
                          asio::ip::make_address(argv[2]),
                          static_cast<std::uint16_t>(std::stoi(argv[3])),
                          {argv[4], argv[5]},
                          {argv[6], argv[7]}};
    asio::io_context context;
    testing::HandshakeRelay middle;
    asio::co_spawn(context, relay(middle, options), [](std::exception_ptr failure) {
        if (failure) {
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& error) {
                std::cout << "relay failed: " << error.what() << std::endl;
            }
        }
    });
    context.run();
}
