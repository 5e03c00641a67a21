#include "ConnectCore/Device/ConnectDevice.hpp"

#include "ConnectCore/Account/AuthStore.hpp"
#include "ConnectCore/Account/ConnectAPI.hpp"
#include "ConnectCore/Async/Blocking.hpp"
#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Discovery/ServiceAdvertiser.hpp"
#include "ConnectCore/Discovery/ServiceBrowser.hpp"
#include "ConnectCore/Identity/DeviceTWCPIdentity.hpp"
#include "ConnectCore/Identity/PersistentIdentity.hpp"
#include "ConnectCore/Reachability/Reachability.hpp"
#include "ConnectCore/Session/TWCPSession.hpp"
#include "ConnectCore/Transfer/ReceiveFolder.hpp"
#include "ConnectCore/Transfer/TransferCoordinator.hpp"
#include "ConnectCore/WatchFolder/FileSettleDetector.hpp"
#include "ConnectCore/WatchFolder/WatchFolder.hpp"

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
        setup_.engine, setup_.pairedPeers, [this](DeviceEvent event) { publishPairing(std::move(event)); },
        setup_.promptInterval);
    if (setup_.account) {
        auth_ = std::make_shared<AuthStore>(setup_.engine, setup_.blocking, setup_.account->keychain,
                                            setup_.account->endpoints, http_);
        api_ =
            std::make_shared<ConnectAPI>(setup_.blocking, auth_, setup_.account->endpoints.apiBaseURL, http_);
    }
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
    spawn(removeStalePartials(), "stale partial files");
    if (setup_.discovery) {
        co_await startBrowsing();
    }
    publish(DeviceEvents::Started{*identity, port, advertiser_, browser_});
    if (auth_) {
        spawn(loadAccount(), "account");
    }
    if (browser_) {
        spawn(forwardPeers(browser_->peers(), [this](DeviceEvent event) { publish(std::move(event)); }),
              "peer list");
    }
    // Held weakly: the monitor's last report may come while the device is being stopped.
    reachability_ = std::make_shared<Reachability>(setup_.engine, [weak = weak_from_this()](bool satisfied) {
        if (const auto self = weak.lock()) {
            self->publish(DeviceEvents::NetworkChanged{satisfied});
        }
    });
    co_await reachability_->start();
}

// The port firewall rules name, or the next free one; the advertised port is always the one bound.
asio::awaitable<std::uint16_t> ConnectDevice::listen() {
    advertiser_ = std::make_shared<ServiceAdvertiser>(setup_.engine, *identity_, tls_);
    for (int attempt = 0;; ++attempt) {
        const auto port = setup_.port ? std::optional<std::uint16_t>(*setup_.port + attempt) : std::nullopt;
        try {
            auto starting = advertiser_->start(port, setup_.discovery && setup_.announce);
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

// Partial files nobody resumed within a week only take space.
asio::awaitable<void> ConnectDevice::removeStalePartials() {
    auto removing = runBlocking(setup_.blocking, [folder = setup_.receiveFolder] {
        return ReceiveFolder(folder).removeStalePartials();
    });
    try {
        if (const auto removed = co_await std::move(removing); removed > 0) {
            diagnostic("removed " + std::to_string(removed) + " partial files older than a week");
        }
    } catch (const std::exception& error) {
        diagnostic(std::string("could not look for old partial files: ") + error.what());
    }
}

void ConnectDevice::connect(DiscoveredPeer peer) {
    onStrand([peer = std::move(peer)](ConnectDevice& self) {
        if (!self.connections_.contains(peer.fingerprint) && self.beginDial(peer.id)) {
            self.spawn(self.dial(peer), "dial");
        }
    });
}

void ConnectDevice::connectTo(DeviceAddress address) {
    onStrand([address = std::move(address)](ConnectDevice& self) {
        if (self.beginDial(address.text())) {
            self.spawn(self.resolveAndDial(address), "dial by address");
        }
    });
}

asio::awaitable<void> ConnectDevice::resolveAndDial(DeviceAddress address) {
    DiscoveredPeer peer;
    peer.id = address.text();
    peer.name = peer.id;
    try {
        auto resolving = address.resolve(setup_.engine);
        peer.endpoint = co_await std::move(resolving);
    } catch (const std::system_error& error) {
        diagnostic("dial failed: " + peer.id + ": " + error.what());
        failDial(peer);
        co_return;
    }
    auto dialing = dial(std::move(peer));
    co_await std::move(dialing);
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

void ConnectDevice::watch(std::string id, std::filesystem::path folder) {
    // Reports come on the watcher's strand; one that comes while the device goes is dropped.
    auto report = [weakSelf = weak_from_this()](const std::filesystem::path& file) {
        if (auto device = weakSelf.lock()) {
            device->publish(DeviceEvents::FileSettled{file});
        }
    };
    // Folders are read on the blocking pool, away from the threads that drive sockets.
    auto detector = std::make_shared<FileSettleDetector>(setup_.blocking);
    auto watcher = std::make_shared<WatchFolder>(setup_.blocking, std::move(folder), std::move(detector),
                                                 std::move(report));
    // Started before this returns, so that a file written afterwards is new to it.
    watcher->start();
    asio::dispatch(strand(), [self = shared_from_this(), id = std::move(id), watcher] {
        if (self->stopped_) {
            watcher->stop();
            return;
        }
        self->unwatchOnStrand(id);
        self->watchers_.emplace(id, watcher);
    });
}

void ConnectDevice::unwatch(std::string id) {
    onStrand([id = std::move(id)](ConnectDevice& self) { self.unwatchOnStrand(id); });
}

void ConnectDevice::unwatchOnStrand(const std::string& id) {
    if (const auto found = watchers_.find(id); found != watchers_.end()) {
        found->second->stop();
        watchers_.erase(found);
    }
}

void ConnectDevice::send(std::uint64_t transfer, std::string fingerprint,
                         std::vector<std::filesystem::path> files, std::optional<std::string> origin) {
    onStrand([=](ConnectDevice& self) {
        self.outgoing_[transfer] = Outgoing{fingerprint, files, origin, std::nullopt, true, false};
        self.spawn(self.runSend(transfer), "send");
    });
}

void ConnectDevice::retry(std::uint64_t transfer) {
    onStrand([transfer](ConnectDevice& self) {
        const auto found = self.outgoing_.find(transfer);
        if (found == self.outgoing_.end() || found->second.running) {
            return;
        }
        found->second.running = true;
        found->second.cancelled = false;
        self.spawn(self.runSend(transfer), "retry");
    });
}

void ConnectDevice::cancel(std::uint64_t transfer) {
    onStrand([transfer](ConnectDevice& self) {
        const auto found = self.outgoing_.find(transfer);
        if (found == self.outgoing_.end() || !found->second.running) {
            return;
        }
        Outgoing& outgoing = found->second;
        outgoing.cancelled = true; // a send still describing its files stops before it offers them
        const auto connection = self.connections_.find(outgoing.fingerprint);
        if (outgoing.described && connection != self.connections_.end()) {
            self.spawn(connection->second.transfers->cancel(outgoing.described->transferID), "cancel");
        }
    });
}

void ConnectDevice::cancelReceive(std::string fingerprint, std::string offerID) {
    onStrand([fingerprint = std::move(fingerprint), offerID = std::move(offerID)](ConnectDevice& self) {
        if (const auto found = self.connections_.find(fingerprint); found != self.connections_.end()) {
            self.spawn(found->second.transfers->cancel(offerID), "cancel receive");
        }
    });
}

// The entry stays for a retry when the send failed.
asio::awaitable<void> ConnectDevice::runSend(std::uint64_t transfer) {
    std::exception_ptr failure;
    try {
        co_await sendOutgoing(transfer);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        outgoing_.at(transfer).running = false;
    } else {
        outgoing_.erase(transfer);
    }
    publish(DeviceEvents::TransferEnded{transfer, failure});
}

asio::awaitable<void> ConnectDevice::sendOutgoing(std::uint64_t transfer) {
    // Entries go only when their send ends, so the reference holds across the waits.
    Outgoing& outgoing = outgoing_.at(transfer);
    const auto connection = connections_.find(outgoing.fingerprint);
    if (connection == connections_.end()) {
        throw TWCPError::peerClosed();
    }
    const auto transfers = connection->second.transfers;
    // Called on the sender's strand after every chunk, while this task keeps the device.
    auto onProgress = [this, transfer](const TransferProgress& progress) {
        publish(DeviceEvents::TransferProgressed{transfer, progress});
    };
    if (outgoing.described) {
        auto retrying = transfers->retry(*outgoing.described, std::move(onProgress));
        co_await std::move(retrying);
        co_return;
    }
    auto describing = transfers->describe(outgoing.files, outgoing.origin);
    outgoing.described = co_await std::move(describing);
    if (outgoing.cancelled) {
        throw TWCPError::cancelled();
    }
    auto sending = transfers->send(*outgoing.described, std::move(onProgress));
    co_await std::move(sending);
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
    // The account's requests run on the blocking threads, which the program joins at its end.
    http_.abort();
    for (const auto& [id, watcher] : std::exchange(watchers_, {})) {
        watcher->stop();
    }
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
