// A device without a window: it receives into a folder, or sends files to a device found by name or
// address. It drives the same engine root as the application and is what the two-process tests and
// benchmarks run.
#include "ConnectCore/Async/AsyncQueue.hpp"
#include "ConnectCore/Device/ConnectDevice.hpp"
#include "ConnectCore/Host/DescriptorLimit.hpp"
#include "ConnectCore/Host/LargeBufferAllocation.hpp"
#include "tools/Peer/PeerOptions.hpp"

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <asio/thread_pool.hpp>

#include <chrono>
#include <iostream>

namespace tarnwick {
namespace {

using Clock = std::chrono::steady_clock;

/// Follows the device's events: prints what happened, confirms every code by itself (a person compares
/// it on the other screen), and in send mode dials, sends once and ends.
class PeerRun {
public:
    PeerRun(PeerOptions options, std::shared_ptr<ConnectDevice> device)
        : options_(std::move(options)),
          device_(std::move(device)) {}

    /// Returns the exit status once the work is done (send) or the events end (receive).
    asio::awaitable<int> follow(AsyncQueue<DeviceEvent> events) {
        while (!status_) {
            auto event = co_await events.next();
            if (!event) {
                co_return 0;
            }
            auto handling = std::visit([this](auto&& happened) { return handle(std::move(happened)); },
                                       std::move(*event));
            co_await std::move(handling);
        }
        co_return *status_;
    }

private:
    asio::awaitable<void> handle(DeviceEvents::Started started) {
        std::cout << "listening " << started.port << std::endl;
        if (options_.mode == PeerOptions::Mode::send && options_.address) {
            device_->connectTo(*options_.address);
        }
        co_return;
    }
    asio::awaitable<void> handle(DeviceEvents::StartFailed failed) {
        std::cout << "start failed: " << failed.reason << std::endl;
        status_ = 1;
        co_return;
    }
    asio::awaitable<void> handle(DeviceEvents::PeersChanged changed) {
        for (const auto& peer : changed.peers) {
            if (options_.mode == PeerOptions::Mode::send && !dialed_ && options_.to == peer.name) {
                dialed_ = true;
                device_->connect(peer);
            }
        }
        co_return;
    }
    asio::awaitable<void> handle(DeviceEvents::PairingRequested requested) {
        code_ = requested.code;
        device_->answerPairing(requested.prompt, true);
        co_return;
    }
    asio::awaitable<void> handle(DeviceEvents::Connected connected) {
        std::cout << "connected " << connected.name << (code_ ? " code " + *code_ : "") << std::endl;
        code_.reset();
        if (options_.mode == PeerOptions::Mode::send && !sending_) {
            sending_ = true;
            began_ = Clock::now();
            device_->send(1, connected.fingerprint, options_.files, std::nullopt);
        }
        co_return;
    }
    asio::awaitable<void> handle(DeviceEvents::DialEnded) {
        if (!sending_) {
            std::cout << "failed: could not connect" << std::endl;
            status_ = 1;
        }
        co_return;
    }
    asio::awaitable<void> handle(DeviceEvents::Disconnected) {
        std::cout << "disconnected" << std::endl;
        co_return;
    }
    asio::awaitable<void> handle(DeviceEvents::ReceiveRefused refused) {
        std::cout << "refused " << refused.refusal.reason << std::endl;
        co_return;
    }
    asio::awaitable<void> handle(DeviceEvents::Received received) {
        std::cout << "received " << received.file.name << " " << received.file.byteCount << std::endl;
        co_return;
    }
    // The first chunk marks the end of describing the files, so that streaming can be told apart.
    asio::awaitable<void> handle(DeviceEvents::TransferProgressed progressed) {
        if (!streamingFrom_) {
            streamingFrom_ = Clock::now();
            bytesBeforeStreaming_ = progressed.progress.sentBytes;
        }
        co_return;
    }
    asio::awaitable<void> handle(DeviceEvents::TransferEnded ended) {
        if (ended.failure) {
            try {
                std::rethrow_exception(ended.failure);
            } catch (const std::exception& failure) {
                std::cout << "failed: " << failure.what() << std::endl;
            }
            status_ = 1;
            co_return;
        }
        reportSpeed();
        if (!options_.stay) {
            status_ = 0;
        }
    }
    template <typename Other> asio::awaitable<void> handle(Other) { co_return; }

    void reportSpeed() const {
        const auto ended = Clock::now();
        std::uint64_t total = 0;
        for (const auto& file : options_.files) {
            total += std::filesystem::file_size(file);
        }
        const std::chrono::duration<double> took = ended - began_;
        std::cout << "sent " << total << " bytes in " << took.count() << " s ("
                  << static_cast<double>(total) / 1e6 / took.count() << " MB/s)" << std::endl;
        if (streamingFrom_ && total > bytesBeforeStreaming_) {
            const std::chrono::duration<double> streamed = ended - *streamingFrom_;
            std::cout << "streamed "
                      << static_cast<double>(total - bytesBeforeStreaming_) / 1e6 / streamed.count()
                      << " MB/s" << std::endl;
        }
    }

    const PeerOptions options_;
    const std::shared_ptr<ConnectDevice> device_;
    std::optional<int> status_;
    std::optional<std::string> code_;
    bool dialed_ = false;
    bool sending_ = false;
    Clock::time_point began_;
    std::optional<Clock::time_point> streamingFrom_;
    std::uint64_t bytesBeforeStreaming_ = 0;
};

ConnectDevice::Setup setupFor(const PeerOptions& options, asio::io_context& io, asio::thread_pool& pool) {
    const bool sending = options.mode == PeerOptions::Mode::send;
    ConnectDevice::Setup setup;
    setup.engine = io.get_executor();
    setup.blocking = pool.get_executor();
    setup.supportFolder = options.home;
    setup.deviceName = options.name;
    setup.appVersion = "peer";
    setup.receiveFolder = sending ? options.home / "Downloads" : options.into;
    setup.port = options.port;
    // A sender browses to find its receiver by name; a receiver publishes itself when asked.
    setup.discovery = sending ? options.to.has_value() : options.advertise;
    return setup;
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
    DescriptorLimit::raiseToHardLimit();
    asio::io_context io;
    asio::thread_pool pool(2);
    const AsyncQueue<DeviceEvent> events(io.get_executor());
    auto device = std::make_shared<ConnectDevice>(
        setupFor(options, io, pool), [events](DeviceEvent event) { events.push(std::move(event)); });
    PeerRun run(options, device);
    int status = 0;
    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](const asio::error_code& error, int) {
        if (!error) {
            events.finish();
        }
    });
    // Whatever ends the run, the device closes its connections in order before the process ends.
    auto finish = [&](int outcome) {
        status = outcome;
        asio::co_spawn(io, device->stop(), [&](std::exception_ptr) {
            device->detach();
            events.finish();
            signals.cancel();
        });
    };
    asio::co_spawn(io, run.follow(events), [&](std::exception_ptr error, int outcome) {
        if (error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& failure) {
                std::cout << "failed: " << failure.what() << std::endl;
            }
            outcome = 1;
        }
        finish(outcome);
    });
    device->start();
    io.run();
    pool.join();
    return status;
}
