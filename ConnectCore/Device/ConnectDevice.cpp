#include "ConnectCore/Device/ConnectDevice.hpp"

#include "ConnectCore/Async/Blocking.hpp"
#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Discovery/ServiceAdvertiser.hpp"
#include "ConnectCore/Discovery/ServiceBrowser.hpp"
#include "ConnectCore/Identity/DeviceTWCPIdentity.hpp"
#include "ConnectCore/Identity/PersistentIdentity.hpp"
#include "ConnectCore/Reachability/Reachability.hpp"
#include "ConnectCore/Session/TWCPSession.hpp"
#include "ConnectCore/Transfer/TransferCoordinator.hpp"

#include <asio/dispatch.hpp>

#include <iostream>

namespace tarnwick {
namespace {

// Keeps the device alive while one of its tasks runs; `stop()` ends them all.
asio::awaitable<void> holding(std::shared_ptr<ConnectDevice>, asio::awaitable<void> body) {
    co_await std::move(body);
}

asio::awaitable<void> forwardPeers(AsyncQueue<std::vector<DiscoveredPeer>> lists,
                                   std::function<void(DeviceEvent)> publish) {
    while (auto list = co_await lists.next()) {
        publish(DeviceEvents::PeersChanged{std::move(*list)});
    }
}

} // namespace

ConnectDevice::ConnectDevice(Setup setup, EventSink sink)
    : Actor(setup.engine),
      setup_(std::move(setup)),
      sink_(std::move(sink)) {
    pairing_ = std::make_shared<DevicePairing>(
        setup_.engine, setup_.pairedPeers, [this](DeviceEvent event) { publish(std::move(event)); },
        setup_.promptInterval);
}

ConnectDevice::~ConnectDevice() = default;

void ConnectDevice::diagnostic(const std::string& line) {
    std::cout << line << std::endl;
}

void ConnectDevice::publish(DeviceEvent event) {
    std::lock_guard lock(sinkMutex_);
    if (sink_) {
        sink_(std::move(event));
    }
}

void ConnectDevice::detach() {
    std::lock_guard lock(sinkMutex_);
    sink_ = nullptr;
}

void ConnectDevice::onStrand(std::function<void(ConnectDevice&)> body) {
    asio::dispatch(strand(), [self = shared_from_this(), body = std::move(body)] {
        if (!self->stopped_) {
            body(*self);
        }
    });
}

void ConnectDevice::spawn(asio::awaitable<void> body, std::string what) {
    const std::uint64_t id = nextTask_++;
    auto onDone = [weakSelf = weak_from_this(), id, what = std::move(what)](std::exception_ptr error) {
        if (error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& failure) {
                diagnostic(what + " failed: " + failure.what());
            }
        }
        // Runs on the strand, where tasks_ lives.
        if (const auto self = weakSelf.lock()) {
            self->tasks_.erase(id);
            if (self->tasks_.empty() && self->allEnded_) {
                self->allEnded_->resume(true);
            }
        }
    };
    tasks_.emplace(id,
                   Task::spawn(strand(), holding(shared_from_this(), std::move(body)), std::move(onDone)));
}

void ConnectDevice::start() {
    onStrand([](ConnectDevice& self) {
        if (!self.started_) {
            self.started_ = true;
            self.spawn(self.startOnStrand(), "start");
        }
    });
}

asio::awaitable<void> ConnectDevice::startOnStrand() {
    std::optional<DeviceIdentity> identity;
    std::uint16_t port = 0;
    try {
        auto load = [folder = setup_.supportFolder, name = setup_.deviceName, version = setup_.appVersion] {
            return std::optional(
                PersistentIdentity::loadOrCreate(folder, name, DevicePlatform::macOS, version));
        };
        // Built apart from the co_await, as everywhere here: g++ 12 mishandles temporaries inside one.
        auto loading = runBlocking(setup_.blocking, std::move(load));
        identity = co_await std::move(loading);
        identity_ = std::make_shared<DeviceTWCPIdentity>(DeviceTWCPIdentity::trustOnFirstUse(*identity));
        tls_ = identity_->tls();
        port = co_await listen();
    } catch (const std::exception& error) {
        diagnostic(std::string("start failed: ") + error.what());
        publish(DeviceEvents::StartFailed{error.what()});
        co_return;
    }
    diagnostic("advertising " + setup_.deviceName + " on port " + std::to_string(port) + ", spki " +
               identity->spkiSHA256());
    spawn(inboundLoop(), "inbound loop");
    if (setup_.discovery) {
        co_await startBrowsing();
    }
    publish(DeviceEvents::Started{*identity, port, advertiser_, browser_});
    if (browser_) {
        spawn(forwardPeers(browser_->peers(), [this](DeviceEvent event) { publish(std::move(event)); }),
              "peer list");
    }
    reachability_ = std::make_shared<Reachability>(setup_.engine);
    co_await reachability_->start();
}

// The port firewall rules name, or the next free one; the advertised port is always the one bound.
asio::awaitable<std::uint16_t> ConnectDevice::listen() {
    advertiser_ = std::make_shared<ServiceAdvertiser>(setup_.engine, *identity_, tls_);
    for (int attempt = 0;; ++attempt) {
        const auto port = setup_.port ? std::optional<std::uint16_t>(*setup_.port + attempt) : std::nullopt;
        try {
            auto starting = advertiser_->start(port, setup_.discovery);
            co_return co_await std::move(starting);
        } catch (const asio::system_error& error) {
            if (!port || error.code() != asio::error::address_in_use || attempt + 1 == portsTried) {
                throw;
            }
        }
    }
}

asio::awaitable<void> ConnectDevice::startBrowsing() {
    auto browser = std::make_shared<ServiceBrowser>(setup_.engine);
    try {
        co_await browser->start();
        browser_ = std::move(browser);
    } catch (const std::exception& error) {
        // Without discovery, peers can still connect to this device.
        diagnostic(std::string("browse failed: ") + error.what());
    }
}

void ConnectDevice::connect(DiscoveredPeer peer) {
    onStrand([peer = std::move(peer)](ConnectDevice& self) {
        if (!self.tls_ || self.dialing_.contains(peer.id) || self.connections_.contains(peer.fingerprint)) {
            return;
        }
        self.dialing_.insert(peer.id);
        self.publish(DeviceEvents::DialStarted{peer.id});
        self.spawn(self.dial(peer), "dial");
    });
}

void ConnectDevice::answerPairing(std::uint64_t prompt, bool confirmed) {
    pairing_->answer(prompt, confirmed);
}

void ConnectDevice::setPairedPeers(std::vector<PairedPeer> peers) {
    pairing_->setPairedPeers(std::move(peers));
}

void ConnectDevice::setReceiveFolder(std::filesystem::path folder) {
    onStrand([folder = std::move(folder)](ConnectDevice& self) { self.setup_.receiveFolder = folder; });
}

void ConnectDevice::setAcceptsConnections(bool accepts) {
    onStrand([accepts](ConnectDevice& self) { self.setup_.acceptsConnections = accepts; });
}

void ConnectDevice::send(std::uint64_t transfer, std::string fingerprint,
                         std::vector<std::filesystem::path> files, std::optional<std::string> origin) {
    onStrand([=](ConnectDevice& self) {
        self.spawn(self.sendOnStrand(transfer, fingerprint, files, origin), "send");
    });
}

asio::awaitable<void> ConnectDevice::sendOnStrand(std::uint64_t transfer, std::string fingerprint,
                                                  std::vector<std::filesystem::path> files,
                                                  std::optional<std::string> origin) {
    std::exception_ptr failure;
    try {
        const auto connection = connections_.find(fingerprint);
        if (connection == connections_.end()) {
            throw TWCPError::peerClosed();
        }
        // Called on the sender's strand after every chunk, while this task keeps the device.
        auto onProgress = [this, transfer](const TransferProgress& progress) {
            publish(DeviceEvents::TransferProgressed{transfer, progress});
        };
        auto sending =
            connection->second.transfers->send(std::move(files), std::move(origin), std::move(onProgress));
        co_await std::move(sending);
    } catch (...) {
        failure = std::current_exception();
    }
    publish(DeviceEvents::TransferEnded{transfer, failure});
}

void ConnectDevice::disconnect(std::string fingerprint) {
    onStrand([fingerprint = std::move(fingerprint)](ConnectDevice& self) {
        if (const auto found = self.connections_.find(fingerprint); found != self.connections_.end()) {
            self.spawn(found->second.session->close(std::nullopt), "disconnect");
        }
    });
}

asio::awaitable<void> ConnectDevice::stop() {
    return enter(holding(shared_from_this(), stopOnStrand()));
}

// Every connection closes in order at the same time (each within 2 s); their tasks then end by themselves.
// Whatever still runs when the time is up is cancelled.
asio::awaitable<void> ConnectDevice::stopOnStrand() {
    if (stopped_) {
        co_return;
    }
    stopped_ = true;
    if (advertiser_) {
        co_await advertiser_->stop();
    }
    if (browser_) {
        co_await browser_->stop();
    }
    if (reachability_) {
        co_await reachability_->stop();
    }
    for (const auto& session : sessions_) {
        spawn(session->close(std::nullopt), "close");
    }
    if (!tasks_.empty()) {
        allEnded_.emplace(strand());
        try {
            auto waiting = withTimeout(tasksEnded(), stopTimeout, asio::system_error(asio::error::timed_out));
            co_await std::move(waiting);
        } catch (const std::exception&) {
            for (const auto& [id, task] : tasks_) {
                task.cancel();
            }
        }
    }
}

asio::awaitable<void> ConnectDevice::tasksEnded() {
    co_await allEnded_->wait();
}

} // namespace tarnwick
