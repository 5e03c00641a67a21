// Accepting, dialling and running connections: each one is a task of the device from its handshake to
// its close.
#include "ConnectCore/Device/ConnectDevice.hpp"
#include "ConnectCore/Discovery/ConnectDialer.hpp"
#include "ConnectCore/Discovery/ServiceAdvertiser.hpp"
#include "ConnectCore/Discovery/ServiceBrowser.hpp"
#include "ConnectCore/Identity/DeviceTWCPIdentity.hpp"
#include "ConnectCore/Session/TWCPSession.hpp"
#include "ConnectCore/Transfer/TransferCoordinator.hpp"
#include "TarnwickConnectProtocol/Messages/EnumRawValues.hpp"

#include <asio/co_spawn.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/use_awaitable.hpp>

namespace tarnwick {
namespace {

// The dual-stack listener sees an IPv4 peer as "::ffff:a.b.c.d"; people know it as a.b.c.d.
std::string peerAddress(const TWCPNetworkChannel& channel) {
    const asio::ip::address address = channel.remoteEndpoint().address();
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).to_string();
    }
    return address.to_string();
}

} // namespace

asio::awaitable<void> ConnectDevice::inboundLoop() {
    const auto connections = advertiser_->connections();
    while (auto channel = co_await connections.next()) {
        admit(std::move(*channel));
    }
}

// Every accepted channel starts its handshake at once, so a device connected never delays another.
void ConnectDevice::admit(std::shared_ptr<TWCPNetworkChannel> channel) {
    if (!setup_.acceptsConnections) {
        spawn(channel->close(TWCPError::notPaired()), "refusing");
        return;
    }
    if (handshakes_ >= maximumHandshakes ||
        connections_.size() >= static_cast<std::size_t>(maximumSessions)) {
        spawn(channel->close(TWCPError::peerClosed()), "refusing");
        return;
    }
    ++handshakes_;
    spawn(runConnection(std::move(channel), TWCPRole::responder, std::nullopt), "session");
}

asio::awaitable<void> ConnectDevice::dial(DiscoveredPeer peer) {
    std::shared_ptr<TWCPNetworkChannel> channel;
    try {
        // Sockets belong to the engine's plain executor: each channel makes its own strand.
        auto dialing =
            asio::co_spawn(setup_.engine, ConnectDialer::connect(peer.endpoint, tls_), asio::use_awaitable);
        channel = co_await std::move(dialing);
    } catch (const std::exception& error) {
        diagnostic(std::string("dial failed: ") + error.what());
    }
    if (channel) {
        auto running = runConnection(std::move(channel), TWCPRole::initiator, peer.id);
        co_await std::move(running);
        co_return;
    }
    if (browser_) {
        // A device that restarted may still be listed where it listened before: look it up again, so that
        // the next attempt dials where it listens now.
        auto resolving = browser_->resolveAgain(peer.name);
        co_await std::move(resolving);
    }
    failDial(peer);
}

asio::awaitable<void> ConnectDevice::runConnection(std::shared_ptr<TWCPNetworkChannel> channel, TWCPRole role,
                                                   std::optional<std::string> dialedPeer) {
    auto policy = pairing_->forConnection(peerAddress(*channel), role == TWCPRole::responder);
    auto session =
        std::make_shared<TWCPSession>(setup_.engine, role, std::move(channel), identity_, std::move(policy));
    sessions_.insert(session);
    session->start();
    diagnostic("handshaking as " + std::string(rawValue(role)));
    std::string failure;
    try {
        co_await session->handshake(handshakeTimeout);
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (role == TWCPRole::responder) {
        --handshakes_;
    }
    if (!failure.empty()) {
        diagnostic("session failed: " + failure);
        endDial(dialedPeer);
    } else if (stopped_ || connections_.size() >= static_cast<std::size_t>(maximumSessions)) {
        endDial(dialedPeer);
        auto closing = session->close(std::nullopt);
        co_await std::move(closing);
    } else {
        auto running = runReady(session, dialedPeer);
        co_await std::move(running);
    }
    sessions_.erase(session);
}

// A dial ends once its device is listed, so that whoever follows the events sees it connected by then.
asio::awaitable<void> ConnectDevice::runReady(std::shared_ptr<TWCPSession> session,
                                              std::optional<std::string> dialedPeer) {
    const HelloMessage hello = *co_await session->peer();
    std::shared_ptr<TransferCoordinator> transfers;
    try {
        transfers = std::make_shared<TransferCoordinator>(setup_.engine, session, setup_.receiveFolder,
                                                          setup_.blocking);
    } catch (const std::exception& error) {
        diagnostic(std::string("session failed: ") + error.what());
    }
    if (!transfers) {
        // Nobody can take the peer's files: end the session rather than leave the peer waiting.
        endDial(dialedPeer);
        auto closing = session->close(std::nullopt);
        co_await std::move(closing);
        co_return;
    }
    // The session proved this key; the announced identifier is only a name.
    const std::string fingerprint = hello.spkiSHA256;
    if (const auto older = connections_.find(fingerprint); older != connections_.end()) {
        // The same device came back before its old connection noticed it had gone.
        spawn(older->second.session->close(std::nullopt), "replaced session");
    }
    connections_[fingerprint] = {session, transfers};
    publish(
        DeviceEvents::Connected{fingerprint, hello.deviceID, hello.deviceName, hello.platform, dialedPeer});
    endDial(dialedPeer);

    using namespace asio::experimental::awaitable_operators;
    session->keepAlive(idleBeforePing, pingAnswerTimeout);
    const auto receiver = transfers->receiver();
    auto running = transfers->run() && forward<DeviceEvents::Received>(fingerprint, receiver->completed()) &&
                   forward<DeviceEvents::ReceiveRefused>(fingerprint, receiver->refusals()) &&
                   forward<DeviceEvents::ReceiveProgressed>(fingerprint, receiver->offers());
    co_await std::move(running);

    const auto listed = connections_.find(fingerprint);
    if (listed != connections_.end() && listed->second.session == session) {
        connections_.erase(listed);
        publish(DeviceEvents::Disconnected{fingerprint});
    }
}

template <typename Event, typename T>
asio::awaitable<void> ConnectDevice::forward(std::string fingerprint, AsyncQueue<T> queue) {
    while (auto element = co_await queue.next()) {
        publish(Event{fingerprint, std::move(*element)});
    }
}

bool ConnectDevice::beginDial(const std::string& peerID) {
    if (!tls_ || dialing_.contains(peerID)) {
        return false;
    }
    dialing_.insert(peerID);
    publish(DeviceEvents::DialStarted{peerID});
    return true;
}

void ConnectDevice::failDial(const DiscoveredPeer& peer) {
    publish(DeviceEvents::DialFailed{peer});
    endDial(peer.id);
}

void ConnectDevice::endDial(const std::optional<std::string>& peerID) {
    if (peerID) {
        dialing_.erase(*peerID);
        publish(DeviceEvents::DialEnded{*peerID});
    }
}

} // namespace tarnwick
