// Start-up, the inbound loop, dialling and running sessions.
#include "ConnectCore/Async/Blocking.hpp"
#include "ConnectCore/Discovery/ConnectDialer.hpp"
#include "ConnectCore/Host/AppVersion.hpp"
#include "ConnectCore/Identity/PersistentIdentity.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Pairing/InteractivePairing.hpp"
#include "TarnwickConnectProtocol/Crypto/UUID.hpp"
#include "TarnwickConnectProtocol/Messages/EnumRawValues.hpp"

#include <QPointer>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/use_awaitable.hpp>

namespace tarnwick {
namespace {

constexpr const char* refusedText =
    "This Mac is refusing local network connections. A VPN, firewall or security tool is the usual cause.";

asio::awaitable<void> closeNotPaired(std::shared_ptr<TWCPChannel> channel) {
    const std::optional<TWCPError> reason = TWCPError::notPaired();
    auto closing = channel->close(reason);
    co_await std::move(closing);
}

} // namespace

void AppState::start() {
    if (started_) {
        return;
    }
    started_ = true;
    spawn(startSequence(), "start");
}

asio::awaitable<void> AppState::startSequence() {
    QPointer<AppState> guard(this);
    if (!setup_.canBindListener()) {
        assign(availability_, Availability::blocked(refusedText), &AppState::availabilityChanged);
        co_return;
    }
    const bool loaded = co_await loadIdentity();
    if (!guard || !loaded) {
        co_return;
    }
    const bool listening = co_await startListener();
    if (!guard || !listening) {
        co_return;
    }
    spawn(inboundLoop(advertiser_->connections()), "inbound loop");
    if (setup_.discovery) {
        co_await startBrowsing();
        if (!guard) {
            co_return;
        }
    }
    co_await reachability_->start();
    if (!guard) {
        co_return;
    }
    watchFolders_->startAll();
    auto loading = loadAccount();
    co_await std::move(loading);
}

asio::awaitable<bool> AppState::loadIdentity() {
    QPointer<AppState> guard(this);
    auto load = [folder = setup_.home.supportFolder, name = deviceName_]() -> std::optional<DeviceIdentity> {
        return PersistentIdentity::loadOrCreate(folder, name, DevicePlatform::macOS, appVersion);
    };
    std::optional<DeviceIdentity> loaded;
    std::string failure;
    try {
        auto loading = runBlocking(setup_.blocking, std::move(load));
        loaded = co_await std::move(loading);
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (!guard) {
        co_return false;
    }
    if (!loaded) {
        failStart(failure);
        co_return false;
    }
    // Set once per run: it never changes afterwards.
    identity_ = loaded;
    Q_EMIT identityChanged();
    sessionIdentity_ = std::make_shared<DeviceTWCPIdentity>(DeviceTWCPIdentity::trustOnFirstUse(*loaded));
    tls_ = sessionIdentity_->learningTLS();
    co_return true;
}

asio::awaitable<bool> AppState::startListener() {
    QPointer<AppState> guard(this);
    auto advertiser = std::make_shared<ServiceAdvertiser>(setup_.engine, *sessionIdentity_, tls_);
    std::optional<std::uint16_t> port;
    std::string failure;
    try {
        const std::optional<std::uint16_t> anyPort;
        auto starting = advertiser->start(anyPort, setup_.discovery);
        port = co_await std::move(starting);
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (!guard) {
        co_return false;
    }
    if (!port) {
        failStart(failure);
        co_return false;
    }
    advertiser_ = std::move(advertiser);
    Q_EMIT advertiserChanged();
    assign(availability_, Availability::ready(*port), &AppState::availabilityChanged);
    diagnostic("advertising " + deviceName_ + " on port " + std::to_string(*port) + ", spki " +
               identity_->spkiSHA256());
    co_return true;
}

asio::awaitable<void> AppState::startBrowsing() {
    QPointer<AppState> guard(this);
    auto browser = std::make_shared<ServiceBrowser>(setup_.engine);
    try {
        auto starting = browser->start();
        co_await std::move(starting);
    } catch (const std::exception& error) {
        // Without discovery, peers can still connect to this device.
        diagnostic(std::string("browse failed: ") + error.what());
        co_return;
    }
    if (!guard) {
        co_return;
    }
    browser_ = std::move(browser);
    Q_EMIT browserChanged();
    spawn(peerLoop(browser_->peers()), "peer list");
}

void AppState::failStart(const std::string& reason) {
    diagnostic("start failed: " + reason);
    assign(availability_, Availability::blocked("Could not start: " + reason),
           &AppState::availabilityChanged);
}

asio::awaitable<void> AppState::inboundLoop(ServiceAdvertiser::Connections connections) {
    QPointer<AppState> guard(this);
    while (true) {
        auto channel = co_await connections.next();
        if (!channel || !guard) {
            co_return;
        }
        if (!account_) {
            // Without an account this device takes no connections.
            // Not awaited: an orderly close waits for the peer, and the next channel must not.
            asio::co_spawn(setup_.engine, closeNotPaired(std::move(*channel)), asio::detached);
            continue;
        }
        // One inbound session at a time: channels that arrive meanwhile wait in the stream.
        auto running = run(std::move(*channel), TWCPRole::responder, "iPhone");
        co_await std::move(running);
    }
}

asio::awaitable<void> AppState::peerLoop(AsyncQueue<std::vector<DiscoveredPeer>> lists) {
    QPointer<AppState> guard(this);
    while (true) {
        auto list = co_await lists.next();
        if (!list || !guard) {
            co_return;
        }
        updatePeers(*list);
    }
}

void AppState::connect(const DiscoveredPeer& peer) {
    if (!account_ || !identity_ || connecting_) {
        return;
    }
    const bool connected = std::any_of(connectedDevices_.begin(), connectedDevices_.end(),
                                       [&](const ConnectedDevice& device) { return device.id == peer.id; });
    if (connected) {
        setSelectedPeerID(peer.id);
        return;
    }
    assign(connecting_, std::optional(peer.id), &AppState::connectingChanged);
    assign(connectError_, std::optional<std::string>(), &AppState::connectErrorChanged);
    spawn(dial(peer), "dial");
}

asio::awaitable<void> AppState::dial(DiscoveredPeer peer) {
    QPointer<AppState> guard(this);
    std::shared_ptr<TWCPNetworkChannel> channel;
    std::string failure;
    try {
        // The dialler's sockets belong to the engine, not to the main thread.
        auto dialing =
            asio::co_spawn(setup_.engine, ConnectDialer::connect(peer.endpoint, tls_), asio::use_awaitable);
        channel = co_await std::move(dialing);
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (!guard) {
        co_return;
    }
    if (channel) {
        // `connecting` stays set for the whole session, so no second dial starts meanwhile.
        auto running = run(std::move(channel), TWCPRole::initiator, peer.name);
        co_await std::move(running);
    } else {
        diagnostic("dial failed: " + failure);
        if (browser_) {
            // A device that restarted may still be listed where it listened before: look it up again,
            // so that the next attempt dials where it listens now.
            auto resolving = browser_->resolveAgain(peer.name);
            co_await std::move(resolving);
        }
        assign(connectError_,
               std::optional("Could not reach " + peer.name +
                             ". Make sure it is on this network and Tarnwick is open."),
               &AppState::connectErrorChanged);
    }
    if (guard) {
        assign(connecting_, std::optional<std::string>(), &AppState::connectingChanged);
    }
}

asio::awaitable<void> AppState::run(std::shared_ptr<TWCPChannel> channel, TWCPRole role,
                                    std::string fallbackName) {
    QPointer<AppState> guard(this);
    auto pairing = std::make_shared<InteractivePairing>(setup_.main, guard);
    auto session =
        std::make_shared<TWCPSession>(setup_.engine, role, std::move(channel), sessionIdentity_, pairing);
    session->start();
    diagnostic("handshaking as " + std::string(rawValue(role)));
    std::string failure;
    try {
        auto handshake = session->handshake(handshakeTimeout);
        co_await std::move(handshake);
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (!failure.empty()) {
        diagnostic("session failed: " + failure);
        co_return;
    }
    auto hello = co_await session->peer();
    std::shared_ptr<TransferCoordinator> coordinator;
    if (guard) {
        try {
            coordinator = std::make_shared<TransferCoordinator>(setup_.engine, session, receiveFolder(),
                                                                setup_.blocking);
        } catch (const std::exception& error) {
            diagnostic(std::string("session failed: ") + error.what());
        }
    }
    if (!coordinator) {
        // Nobody will use the session: end it rather than leave the peer waiting.
        const std::optional<TWCPError> noError;
        co_await session->close(noError);
        co_return;
    }
    ConnectedDevice device =
        hello ? ConnectedDevice{hello->deviceID, hello->deviceName, hello->platform, session, coordinator}
              : ConnectedDevice{UUID::random(), fallbackName, DevicePlatform::iOS, session, coordinator};
    registerConnected(device);
    spawn(forwardReceived(coordinator->receiver()->completed(), device.name), "receiving");
    co_await coordinator->run();
    if (guard) {
        removeConnected(device);
    }
}

asio::awaitable<void> AppState::forwardReceived(AsyncQueue<ReceivedFile> completed, std::string sender) {
    QPointer<AppState> guard(this);
    while (true) {
        auto file = co_await completed.next();
        if (!file || !guard) {
            co_return;
        }
        recordReceived(std::move(*file), sender);
    }
}

} // namespace tarnwick
