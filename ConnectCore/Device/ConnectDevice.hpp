#pragma once

#include "ConnectCore/Account/AppConfiguration.hpp"
#include "ConnectCore/Account/AuthorizationRequest.hpp"
#include "ConnectCore/Account/HTTPClient.hpp"
#include "ConnectCore/Account/KeychainStore.hpp"
#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Async/Task.hpp"
#include "ConnectCore/Channel/TWCPParameters.hpp"
#include "ConnectCore/Device/DeviceEvent.hpp"
#include "ConnectCore/Device/DevicePairing.hpp"
#include "ConnectCore/Device/PairedPeer.hpp"
#include "ConnectCore/Discovery/DeviceAddress.hpp"
#include "ConnectCore/Transfer/OutgoingTransfer.hpp"
#include "TarnwickConnectProtocol/Messages/TWCPRole.hpp"

#include <asio/awaitable.hpp>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarnwick {

class AuthStore;
class ConnectAPI;
class DeviceTWCPIdentity;
class Reachability;
class ServiceAdvertiser;
class ServiceBrowser;
class TransferCoordinator;
class TWCPNetworkChannel;
class TWCPSession;
class WatchFolder;

/// This device on the network, and the owner of everything that talks to other devices: its identity,
/// the listener and its DNS-SD publication, the browser, the reachability monitor, the account's client
/// and every connection, from the dial or accept to the close. Front ends give it commands and follow one
/// stream of events; none of them wires sessions or transfers by hand. Every command returns at once.
class ConnectDevice : public Actor, public std::enable_shared_from_this<ConnectDevice> {
public:
    /// Sessions still authenticating at once, and sessions ready at once; connections past either are
    /// refused at once, so that strangers cannot hold off the user's own devices for long.
    static constexpr int maximumHandshakes = 4;
    static constexpr int maximumSessions = 8;
    /// The handshake's time, the user's confirmation of a code included.
    static constexpr std::chrono::seconds handshakeTimeout{15};
    /// A ready session quiet this long is pinged, and ends when nothing comes back in time.
    static constexpr std::chrono::seconds idleBeforePing{15};
    static constexpr std::chrono::seconds pingAnswerTimeout{10};
    /// The port firewall rules name; the next free one is taken when it is in use.
    static constexpr std::uint16_t defaultPort = 47810;
    static constexpr int portsTried = 10;
    /// `stop()` never takes longer: an orderly close takes at most 2 s.
    static constexpr std::chrono::seconds stopTimeout{3};
    /// How long the registry is asked whether both sides of a first contact committed to the same
    /// handshake, and how often.
    static constexpr std::chrono::seconds pairingCheckTime{60};
    static constexpr std::chrono::seconds pairingCheckInterval{2};

    /// The account's services and the store that keeps its tokens.
    struct Account {
        AppConfiguration::Endpoints endpoints;
        KeychainStore keychain;
    };

    struct Setup {
        /// Sockets and actors.
        asio::any_io_executor engine;
        /// Blocking work: disk, hashing.
        asio::any_io_executor blocking;
        /// Where the identity is kept.
        std::filesystem::path supportFolder;
        std::string deviceName;
        std::string appVersion;
        std::filesystem::path receiveFolder;
        /// The listening port; none takes any free one.
        std::optional<std::uint16_t> port = defaultPort;
        /// Publish and browse over DNS-SD; without it the listener still takes dialled connections.
        bool discovery = true;
        std::vector<PairedPeer> pairedPeers;
        /// How often one address that connected here may ask the user to pair.
        std::chrono::steady_clock::duration promptInterval = DevicePairing::defaultPromptInterval;
        /// Whether connections are taken at all (the application takes none while signed out).
        bool acceptsConnections = true;
        /// With discovery, whether this device is published too; a command that ends soon only browses, so
        /// that other devices never list a device that is about to go.
        bool announce = true;
        /// The account this device signs in to; none: no account (tools that only move files).
        std::optional<Account> account;
    };

    using EventSink = std::function<void(DeviceEvent)>;

    /// `sink` is told every event, from the engine's threads, until `detach`. Must be owned by a shared_ptr.
    ConnectDevice(Setup setup, EventSink sink);
    ~ConnectDevice();

    /// Loads the identity, opens the listener and starts discovery; `Started` or `StartFailed` follows.
    void start();
    /// Dials a discovered peer unless a dial to it runs or it is connected already.
    void connect(DiscoveredPeer peer);
    /// Dials the device at an address discovery does not see; the dial is known by the address's text
    /// until its session says who answered. A name that does not resolve fails as an unreachable device.
    void connectTo(DeviceAddress address);
    void answerPairing(std::uint64_t prompt, bool confirmed);
    /// Sends the files as one offer to a connected device; progress and outcome come as events.
    void send(std::uint64_t transfer, std::string fingerprint, std::vector<std::filesystem::path> files,
              std::optional<std::string> origin);
    /// Stops a running send; it ends with `cancelled`, and the receiver is told file by file.
    void cancel(std::uint64_t transfer);
    /// Stops receiving an offer from a connected device: its sender is told, partial files are removed.
    void cancelReceive(std::string fingerprint, std::string offerID);
    /// Sends a send that failed or was cancelled again to its device, which must be connected: files that
    /// did not change keep their file IDs, so a receiver that kept their partial files resumes them.
    void retry(std::uint64_t transfer);
    /// Ends a device's session in order.
    void disconnect(std::string fingerprint);
    void setReceiveFolder(std::filesystem::path folder);
    void setPairedPeers(std::vector<PairedPeer> peers);
    void setAcceptsConnections(bool accepts);
    /// Watches the folder under the caller's identifier: each file that finishes arriving below it once
    /// this returns is reported as `FileSettled`. Watching again under the same identifier replaces the
    /// watcher.
    void watch(std::string id, std::filesystem::path folder);
    void unwatch(std::string id);

    /// The login page for a browser sign-in of `request`. Safe from any thread.
    std::string signInPage(const AuthorizationRequest& request) const;
    /// Ends a browser sign-in with the page's return address: `SignedIn` and then the registration of
    /// this device (`Registered` or `RegistrationFailed`), or `SignInFailed`.
    void signIn(std::string returnAddress, AuthorizationRequest request);
    /// Forgets the account's session; `SignedOut` follows. Running sessions go on.
    void signOut();

    /// Closes every connection in order, stops the listener and discovery, and returns when every task
    /// of this device has ended, within `stopTimeout`. No command does anything afterwards.
    asio::awaitable<void> stop();
    /// No event reaches the sink once this returns; safe from any thread.
    void detach();

private:
    /// One connection, owned by the task that runs it from the handshake to the close.
    struct Connection {
        std::shared_ptr<TWCPSession> session;
        std::shared_ptr<TransferCoordinator> transfers;
    };

    /// A send from its command until it arrives; kept after a failure, for `retry`.
    struct Outgoing {
        std::string fingerprint;
        std::vector<std::filesystem::path> files;
        std::optional<std::string> origin;
        /// Once described: offered again as it is by a retry.
        std::optional<OutgoingTransfer> described;
        bool running = false;
        bool cancelled = false;
    };

    // Start-up and commands (ConnectDevice.cpp).
    asio::awaitable<void> startOnStrand();
    asio::awaitable<std::uint16_t> listen();
    asio::awaitable<void> startBrowsing();
    asio::awaitable<void> removeStalePartials();
    asio::awaitable<void> stopOnStrand();
    asio::awaitable<void> tasksEnded();
    asio::awaitable<void> resolveAndDial(DeviceAddress address);
    asio::awaitable<void> runSend(std::uint64_t transfer);
    asio::awaitable<void> sendOutgoing(std::uint64_t transfer);
    void unwatchOnStrand(const std::string& id);
    /// Runs a task of this device on its strand; `stop()` cancels it and waits for it.
    void spawn(asio::awaitable<void> body, std::string what);
    /// Runs `body` on the strand unless the device has stopped.
    void onStrand(std::function<void(ConnectDevice&)> body);
    void publish(DeviceEvent event);
    /// A line for whoever runs the program; never shown to the user.
    static void diagnostic(const std::string& line);

    // Connections (ConnectDeviceConnections.cpp).
    asio::awaitable<void> inboundLoop();
    void admit(std::shared_ptr<TWCPNetworkChannel> channel);
    asio::awaitable<void> dial(DiscoveredPeer peer);
    asio::awaitable<void> runConnection(std::shared_ptr<TWCPNetworkChannel> channel, TWCPRole role,
                                        std::optional<std::string> dialedPeer);
    asio::awaitable<void> runReady(std::shared_ptr<TWCPSession> session,
                                   std::optional<std::string> dialedPeer);
    /// Publishes each element of a receiver's queue as the event `Event{fingerprint, element}` until the
    /// queue ends with the connection.
    template <typename Event, typename T>
    asio::awaitable<void> forward(std::string fingerprint, AsyncQueue<T> queue);
    /// Marks a dial to the peer as running; false when one runs already or nothing can be dialled yet.
    bool beginDial(const std::string& peerID);
    void failDial(const DiscoveredPeer& peer);
    void endDial(const std::optional<std::string>& peerID);

    // The account (ConnectDeviceAccount.cpp).
    asio::awaitable<void> loadAccount();
    asio::awaitable<void> finishSignIn(std::string returnAddress, AuthorizationRequest request);
    asio::awaitable<void> forgetAccount();
    /// Registers this device with the account's registry.
    asio::awaitable<void> registerDevice();
    /// Events of the pairing policy; a first contact is checked with the registry once it is published.
    void publishPairing(DeviceEvent event);
    /// Submits this side's commitment when the peer is a device of the account, and acts on the verdict.
    asio::awaitable<void> checkPairing(DeviceEvents::Paired paired);
    /// The registry's verdict within `pairingCheckTime`: "active", "mismatch", or the last answer.
    asio::awaitable<std::string> pollPairing(std::string ownID, DeviceEvents::Paired paired);

    Setup setup_;
    std::mutex sinkMutex_;
    EventSink sink_;
    std::shared_ptr<DevicePairing> pairing_;
    std::shared_ptr<DeviceTWCPIdentity> identity_;
    std::shared_ptr<TWCPParameters::TLSContext> tls_;
    std::shared_ptr<ServiceAdvertiser> advertiser_;
    std::shared_ptr<ServiceBrowser> browser_;
    std::shared_ptr<Reachability> reachability_;
    /// Present with an account; their requests go through `http_`, which `stop()` aborts.
    HTTPClient http_;
    std::shared_ptr<AuthStore> auth_;
    std::shared_ptr<ConnectAPI> api_;
    /// What the registry calls this device, once registered in this run.
    std::optional<std::string> registeredID_;

    bool started_ = false;
    bool stopped_ = false;
    int handshakes_ = 0;
    /// Ready connections by the fingerprint their session authenticated.
    std::map<std::string, Connection> connections_;
    /// Watched folders by the caller's identifier.
    std::map<std::string, std::shared_ptr<WatchFolder>> watchers_;
    /// Every session from its start to its end, ready or not, for `stop()`.
    std::set<std::shared_ptr<TWCPSession>> sessions_;
    std::set<std::string> dialing_;
    std::map<std::uint64_t, Outgoing> outgoing_;
    std::map<std::uint64_t, Task> tasks_;
    std::uint64_t nextTask_ = 0;
    /// Resumed when the last task has ended, for `stop()`.
    std::optional<Completion<bool>> allEnded_;
};

} // namespace tarnwick
