// A second device for the DNS-SD tests, run in the peer namespace of with-avahi-namespace.sh. It
// advertises the service under the name given, completes TLS with whoever dials it, prints one line
// "<SPKI fingerprint> <port>" once it listens, and withdraws the service when its standard input closes.
// Usage: AdvertiseDevice <device id> <device name>

#include "ConnectCore/Discovery/ServiceAdvertiser.hpp"
#include "ConnectCore/Session/SoftwareIdentity.hpp"
#include "tests/Support/TLSIdentity.hpp"

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>

#include <iostream>
#include <unistd.h>
#include <vector>

namespace {

using namespace tarnwick;

asio::awaitable<void> serve(std::shared_ptr<ServiceAdvertiser> advertiser, std::string fingerprint) {
    const std::uint16_t port = co_await advertiser->start(std::nullopt, true);
    std::cout << fingerprint << ' ' << port << std::endl;
    // Channels are kept open until the end, so the dialing side sees a live connection.
    std::vector<std::shared_ptr<TWCPNetworkChannel>> channels;
    while (auto channel = co_await advertiser->connections().next()) {
        channels.push_back(*channel);
    }
}

asio::awaitable<void> stopWhenInputCloses(std::shared_ptr<ServiceAdvertiser> advertiser) {
    asio::posix::stream_descriptor input(co_await asio::this_coro::executor, ::dup(STDIN_FILENO));
    char byte = 0;
    try {
        for (;;) {
            co_await input.async_read_some(asio::buffer(&byte, 1), asio::use_awaitable);
        }
    } catch (const asio::system_error&) {
    }
    co_await advertiser->stop();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: AdvertiseDevice <device id> <device name>\n";
        return 2;
    }
    asio::io_context context;
    const testing::TLSIdentity tls(argv[2]);
    const SoftwareIdentity identity(argv[1], argv[2], DevicePlatform::iOS, "17.4", "1.0.0", tls.key);
    auto advertiser = std::make_shared<ServiceAdvertiser>(
        context.get_executor(), identity,
        TWCPParameters::make(*tls.identity, TWCPParameters::Pinning::trustOnFirstUse(nullptr)));
    const auto fail = [](std::exception_ptr error) {
        if (error) {
            std::rethrow_exception(error);
        }
    };
    asio::co_spawn(context, serve(advertiser, tls.spkiSHA256), fail);
    asio::co_spawn(context, stopWhenInputCloses(advertiser), fail);
    context.run();
}
