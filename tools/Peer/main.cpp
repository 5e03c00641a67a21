// A device without a window: it receives into a folder, or sends files to a device found by name or
// address. It drives the engine exactly as the application does and is what the two-process tests and
// benchmarks run.
#include "ConnectCore/Discovery/ConnectDialer.hpp"
#include "ConnectCore/Discovery/ServiceAdvertiser.hpp"
#include "ConnectCore/Discovery/ServiceBrowser.hpp"
#include "ConnectCore/Host/LargeBufferAllocation.hpp"
#include "ConnectCore/Identity/DeviceTWCPIdentity.hpp"
#include "ConnectCore/Identity/PersistentIdentity.hpp"
#include "ConnectCore/Session/StaticPairingPolicy.hpp"
#include "ConnectCore/Session/TWCPSession.hpp"
#include "ConnectCore/Transfer/TransferCoordinator.hpp"
#include "tools/Peer/PeerOptions.hpp"

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/signal_set.hpp>
#include <asio/thread_pool.hpp>

#include <chrono>
#include <iostream>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using namespace asio::experimental::awaitable_operators;

constexpr auto handshakeTimeout = 15s;

/// What both modes share: the device's identity, its TLS setup and the pool for disk work.
struct Device {
    asio::any_io_executor executor;
    asio::any_io_executor blocking;
    std::shared_ptr<DeviceTWCPIdentity> identity;
    std::shared_ptr<TWCPParameters::TLSContext> tls;
    // The tool confirms every code by itself and prints it; a person compares it on the other screen.
    std::shared_ptr<StaticPairingPolicy> pairing;

    asio::awaitable<std::shared_ptr<TWCPSession>> authenticate(std::shared_ptr<TWCPChannel> channel,
                                                               TWCPRole role) {
        auto session = std::make_shared<TWCPSession>(executor, role, std::move(channel), identity, pairing);
        session->start();
        co_await session->handshake(handshakeTimeout);
        const auto peer = co_await session->peer();
        const auto code = co_await pairing->lastCode();
        std::cout << "connected " << peer->deviceName << (code ? " code " + *code : "") << std::endl;
        co_return session;
    }
};

Device makeDevice(const PeerOptions& options, asio::io_context& io, asio::thread_pool& pool) {
    const DeviceIdentity identity =
        PersistentIdentity::loadOrCreate(options.home, options.name, DevicePlatform::macOS, "peer");
    auto twcp = std::make_shared<DeviceTWCPIdentity>(DeviceTWCPIdentity::trustOnFirstUse(identity));
    return Device{io.get_executor(), pool.get_executor(), twcp, twcp->learningTLS(),
                  std::make_shared<StaticPairingPolicy>(io.get_executor(), std::set<std::string>{}, true)};
}

asio::awaitable<void> printReceived(AsyncQueue<ReceivedFile> completed) {
    while (const auto file = co_await completed.next()) {
        std::cout << "received " << file->name << " " << file->byteCount << std::endl;
    }
}

asio::awaitable<void> receive(Device device, PeerOptions options) {
    auto advertiser = std::make_shared<ServiceAdvertiser>(device.executor, *device.identity, device.tls);
    const std::uint16_t port = co_await advertiser->start(options.port, options.advertise);
    std::cout << "listening " << port << std::endl;
    // One session at a time, as the application serves inbound connections.
    while (auto channel = co_await advertiser->connections().next()) {
        std::shared_ptr<TWCPSession> session;
        try {
            session = co_await device.authenticate(*channel, TWCPRole::responder);
        } catch (const std::exception& error) {
            std::cout << "session failed: " << error.what() << std::endl;
            continue;
        }
        auto coordinator =
            std::make_shared<TransferCoordinator>(device.executor, session, options.into, device.blocking);
        asio::co_spawn(device.executor, printReceived(coordinator->receiver()->completed()), asio::detached);
        co_await coordinator->run();
        std::cout << "disconnected" << std::endl;
    }
}

asio::awaitable<asio::ip::tcp::endpoint> findByName(const asio::any_io_executor& executor, std::string name) {
    auto browser = std::make_shared<ServiceBrowser>(executor);
    co_await browser->start();
    while (const auto peers = co_await browser->peers().next()) {
        for (const auto& peer : *peers) {
            if (peer.name == name) {
                co_await browser->stop();
                co_return peer.endpoint;
            }
        }
    }
    throw std::runtime_error("browsing ended before " + name + " was seen");
}

asio::awaitable<asio::ip::tcp::endpoint> resolve(const asio::any_io_executor& executor, std::string address) {
    const auto colon = address.rfind(':');
    if (colon == std::string::npos) {
        throw std::invalid_argument("--address takes HOST:PORT");
    }
    asio::ip::tcp::resolver resolver(executor);
    const auto results = co_await resolver.async_resolve(address.substr(0, colon), address.substr(colon + 1),
                                                         asio::use_awaitable);
    co_return results.begin()->endpoint();
}

/// When the first chunk had gone and how far it reached, so that the streaming phase can be told apart
/// from describing the files before the offer.
struct StreamingStart {
    std::optional<std::chrono::steady_clock::time_point> at;
    std::uint64_t sentBytes = 0;
};

asio::awaitable<void> sendAndClose(std::shared_ptr<TransferCoordinator> coordinator,
                                   std::shared_ptr<TWCPSession> session,
                                   std::vector<std::filesystem::path> files) {
    std::uint64_t total = 0;
    for (const auto& file : files) {
        total += std::filesystem::file_size(file);
    }
    auto streaming = std::make_shared<StreamingStart>();
    auto noteFirstChunk = [streaming](const TransferProgress& progress) {
        if (!streaming->at) {
            streaming->at = std::chrono::steady_clock::now();
            streaming->sentBytes = progress.sentBytes;
        }
    };
    const auto began = std::chrono::steady_clock::now();
    co_await coordinator->send(files, std::nullopt, noteFirstChunk);
    const auto ended = std::chrono::steady_clock::now();
    const std::chrono::duration<double> took = ended - began;
    std::cout << "sent " << total << " bytes in " << took.count() << " s ("
              << static_cast<double>(total) / 1e6 / took.count() << " MB/s)" << std::endl;
    if (streaming->at && total > streaming->sentBytes) {
        const std::chrono::duration<double> streamed = ended - *streaming->at;
        std::cout << "streamed " << static_cast<double>(total - streaming->sentBytes) / 1e6 / streamed.count()
                  << " MB/s" << std::endl;
    }
    // The close returns once the receiver has read everything, so the process may end right after it.
    co_await session->close(std::nullopt);
}

asio::awaitable<void> send(Device device, PeerOptions options) {
    asio::ip::tcp::endpoint endpoint;
    if (options.to) {
        endpoint = co_await findByName(device.executor, *options.to);
    } else {
        endpoint = co_await resolve(device.executor, *options.address);
    }
    auto channel = co_await ConnectDialer::connect(endpoint, device.tls);
    const auto session = co_await device.authenticate(channel, TWCPRole::initiator);
    auto coordinator = std::make_shared<TransferCoordinator>(device.executor, session,
                                                             options.home / "Downloads", device.blocking);
    co_await (coordinator->run() && sendAndClose(coordinator, session, options.files));
}

} // namespace
} // namespace tarnwick

int main(int argc, char** argv) {
    using namespace tarnwick;
    PeerOptions options;
    try {
        options = PeerOptions::parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        std::cerr << "tarnwick-peer: " << error.what() << '\n';
        return 2;
    }
    LargeBufferAllocation::reuseChunkBuffers();
    asio::io_context io;
    asio::thread_pool pool(2);
    int status = 0;
    try {
        Device device = makeDevice(options, io, pool);
        auto body =
            options.mode == PeerOptions::Mode::receive ? receive(device, options) : send(device, options);
        asio::co_spawn(io, std::move(body), [&](std::exception_ptr error) {
            if (error) {
                try {
                    std::rethrow_exception(error);
                } catch (const std::exception& failure) {
                    std::cout << "failed: " << failure.what() << std::endl;
                }
                status = 1;
            }
            io.stop();
        });
        asio::signal_set signals(io, SIGINT, SIGTERM);
        signals.async_wait([&](const asio::error_code&, int) { io.stop(); });
        io.run();
    } catch (const std::exception& error) {
        std::cout << "start failed: " << error.what() << std::endl;
        status = 1;
    }
    pool.join();
    return status;
}
