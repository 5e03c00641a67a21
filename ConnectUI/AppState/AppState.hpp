#pragma once

#include "ConnectCore/Account/AppConfiguration.hpp"
#include "ConnectCore/Account/AuthSession.hpp"
#include "ConnectCore/Device/ConnectDevice.hpp"
#include "ConnectCore/Discovery/DiscoveredPeer.hpp"
#include "ConnectCore/Discovery/ServiceAdvertiser.hpp"
#include "ConnectCore/Discovery/ServiceBrowser.hpp"
#include "ConnectCore/Identity/DeviceIdentity.hpp"
#include "ConnectCore/Reachability/ReachabilityDiagnosis.hpp"
#include "ConnectCore/Transfer/ReceivedFile.hpp"
#include "ConnectCore/Transfer/TransferProgress.hpp"
#include "ConnectUI/AppState/Availability.hpp"
#include "ConnectUI/AppState/ConnectedDevice.hpp"
#include "ConnectUI/AppState/IncomingTransfer.hpp"
#include "ConnectUI/AppState/TabRequest.hpp"
#include "ConnectUI/AppState/TransferItem.hpp"
#include "ConnectUI/AppState/TransferList.hpp"
#include "ConnectUI/Async/QtExecutor.hpp"
#include "ConnectUI/Pairing/PairedAddresses.hpp"
#include "ConnectUI/Pairing/PairedDevices.hpp"
#include "ConnectUI/Pairing/PendingPairing.hpp"
#include "ConnectUI/Settings/ApplicationHome.hpp"
#include "ConnectUI/Settings/DownloadsLocation.hpp"
#include "ConnectUI/Settings/Sounds.hpp"
#include "ConnectUI/SignIn/SignInController.hpp"
#include "ConnectUI/WatchFolders/WatchFolderStore.hpp"

#include <QObject>
#include <QSettings>

#include <chrono>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarnwick {

/// The one object every view reads: the main thread's picture of this device (`ConnectDevice`, which
/// owns every connection), of the account, the transfers and the received files. Its operations become
/// the device's commands, and the device's events become its properties, applied here in order. Every
/// property notifies only when its value changes.
class AppState : public QObject {
    Q_OBJECT
    Q_PROPERTY(tarnwick::Availability availability READ availability NOTIFY availabilityChanged)
    Q_PROPERTY(std::vector<tarnwick::DiscoveredPeer> peers READ peers NOTIFY peersChanged)
    Q_PROPERTY(std::optional<std::string> connecting READ connecting NOTIFY connectingChanged)
    Q_PROPERTY(std::optional<std::string> connectError READ connectError NOTIFY connectErrorChanged)
    Q_PROPERTY(std::optional<tarnwick::PendingPairing> pendingPairing READ pendingPairing NOTIFY
                   pendingPairingChanged)
    Q_PROPERTY(std::string pairingDetails READ pairingDetails NOTIFY pendingPairingChanged)
    Q_PROPERTY(std::optional<std::string> pairingWarning READ pairingWarning NOTIFY pendingPairingChanged)
    Q_PROPERTY(std::vector<tarnwick::ConnectedDevice> connectedDevices READ connectedDevices NOTIFY
                   connectedDevicesChanged)
    Q_PROPERTY(std::vector<tarnwick::TransferItem> transfers READ transfers NOTIFY transfersChanged)
    Q_PROPERTY(std::vector<tarnwick::IncomingTransfer> incomingTransfers READ incomingTransfers NOTIFY
                   incomingTransfersChanged)
    Q_PROPERTY(std::vector<tarnwick::ReceivedFile> received READ received NOTIFY receivedChanged)
    Q_PROPERTY(
        std::optional<tarnwick::ReachabilityDiagnosis> diagnosis READ diagnosis NOTIFY diagnosisChanged)
    Q_PROPERTY(std::optional<std::string> selectedPeerID READ selectedPeerID WRITE setSelectedPeerID NOTIFY
                   selectedPeerIDChanged)
    Q_PROPERTY(bool isDragHovering READ isDragHovering WRITE setIsDragHovering NOTIFY isDragHoveringChanged)
    Q_PROPERTY(std::string deviceName READ deviceName WRITE setDeviceName NOTIFY deviceNameChanged)
    Q_PROPERTY(tarnwick::TabRequest tabRequest READ tabRequest NOTIFY tabRequestChanged)
    Q_PROPERTY(tarnwick::WatchFolderStore* watchFolders READ watchFolders CONSTANT)
    Q_PROPERTY(std::optional<tarnwick::DeviceIdentity> identity READ identity NOTIFY identityChanged)
    Q_PROPERTY(
        std::shared_ptr<tarnwick::ServiceAdvertiser> advertiser READ advertiser NOTIFY advertiserChanged)
    Q_PROPERTY(std::shared_ptr<tarnwick::ServiceBrowser> browser READ browser NOTIFY browserChanged)
    Q_PROPERTY(std::optional<tarnwick::AuthSession> account READ account NOTIFY accountChanged)
    Q_PROPERTY(bool isSigningIn READ isSigningIn NOTIFY isSigningInChanged)
    Q_PROPERTY(std::optional<std::string> signInError READ signInError NOTIFY signInErrorChanged)
    Q_PROPERTY(
        bool signInErrorIsRecoverable READ signInErrorIsRecoverable NOTIFY signInErrorIsRecoverableChanged)
    Q_PROPERTY(bool justSignedIn READ justSignedIn NOTIFY justSignedInChanged)
    Q_PROPERTY(std::optional<std::string> registeredDeviceId READ registeredDeviceId NOTIFY
                   registeredDeviceIdChanged)

public:
    /// What an instance is built from: its threads, its home and its settings.
    struct Setup {
        QtExecutor main;
        /// Sockets and actors.
        asio::any_io_executor engine;
        /// Blocking work: hashing, disk, folder scans.
        asio::any_io_executor blocking;
        QSettings* settings = nullptr;
        ApplicationHome home;
        /// Overrides the downloads folder when present.
        std::optional<std::filesystem::path> fixedDownloads;
        /// Publish and browse over DNS-SD; without it the listener still accepts dialled connections.
        bool discovery = true;
        /// Whether this host lets a listener open at all (asked once, at start).
        std::function<bool()> canBindListener;
        /// The account's services: the login page, the token service and the registry.
        AppConfiguration::Endpoints accountEndpoints =
            AppConfiguration::endpoints(AppConfiguration::environment());
        /// Shows the sign-in page; empty: the desktop's browser.
        SignInController::Opener openSignInPage = {};
        /// How long a sign-in waits for the browser's return.
        std::chrono::milliseconds signInTimeout = SignInController::defaultTimeout;
        /// The listening port (the next free one when taken); none: any free port.
        std::optional<std::uint16_t> port = ConnectDevice::defaultPort;
        /// How often one address that connected here may ask the user to pair.
        std::chrono::steady_clock::duration promptInterval = DevicePairing::defaultPromptInterval;
        /// With discovery, whether this device is published too (a command that ends soon only browses).
        bool announce = true;
    };

    static constexpr std::size_t receivedLimit = 20;
    /// A completed sign-in shows for at least this long, so its progress never just flickers.
    static constexpr auto signInMinimumShown = std::chrono::milliseconds(500);
    static constexpr auto justSignedInShown = std::chrono::seconds(4);
    static constexpr const char* keychainService = "io.tarnwick.connect";

    explicit AppState(Setup setup, QObject* parent = nullptr);
    ~AppState() override;

    // Properties.
    const Availability& availability() const { return availability_; }
    const std::vector<DiscoveredPeer>& peers() const { return peers_; }
    const std::optional<std::string>& connecting() const { return connecting_; }
    const std::optional<std::string>& connectError() const { return connectError_; }
    const std::optional<PendingPairing>& pendingPairing() const { return pendingPairing_; }
    /// The prompt's "details" line; empty without a prompt.
    std::string pairingDetails() const;
    /// The prompt's key-change warning, when it has one; such a prompt defaults to declining.
    std::optional<std::string> pairingWarning() const;
    const std::vector<ConnectedDevice>& connectedDevices() const { return connectedDevices_; }
    const std::vector<TransferItem>& transfers() const { return transfers_.items(); }
    /// Offers being received, newest first; each goes once it ended.
    const std::vector<IncomingTransfer>& incomingTransfers() const { return incoming_; }
    const std::vector<ReceivedFile>& received() const { return received_; }
    const std::optional<ReachabilityDiagnosis>& diagnosis() const { return diagnosis_; }
    const std::optional<std::string>& selectedPeerID() const { return selectedPeerID_; }
    void setSelectedPeerID(std::optional<std::string> id);
    bool isDragHovering() const { return isDragHovering_; }
    void setIsDragHovering(bool hovering);
    const std::string& deviceName() const { return deviceName_; }
    void setDeviceName(std::string name);
    const TabRequest& tabRequest() const { return tabRequest_; }
    WatchFolderStore* watchFolders() const { return watchFolders_; }
    const std::optional<DeviceIdentity>& identity() const { return identity_; }
    const std::shared_ptr<ServiceAdvertiser>& advertiser() const { return advertiser_; }
    const std::shared_ptr<ServiceBrowser>& browser() const { return browser_; }
    const std::optional<AuthSession>& account() const { return account_; }
    bool isSigningIn() const { return isSigningIn_; }
    /// The last sign-in or registration message.
    const std::optional<std::string>& signInError() const { return signInError_; }
    /// Whether signing in again would clear `signInError`.
    bool signInErrorIsRecoverable() const { return signInErrorIsRecoverable_; }
    /// True for a few seconds after a completed sign-in.
    bool justSignedIn() const { return justSignedIn_; }
    /// What the registry calls this device.
    const std::optional<std::string>& registeredDeviceId() const { return registeredDeviceId_; }

    // Derived.
    std::vector<TransferItem> activeTransfers() const;
    const std::vector<ConnectedDevice>& destinations() const { return connectedDevices_; }
    std::optional<ConnectedDevice> selectedDestination() const;
    std::optional<DiscoveredPeer> selectedPeer() const;
    bool isSignedIn() const { return account_.has_value(); }

    // Plain members the views use.
    PairedDevices& paired() const { return *paired_; }
    /// Where paired devices answered when dialled by address.
    const PairedAddresses& addresses() const { return addresses_; }
    DownloadsLocation& downloads() const { return *downloads_; }
    Sounds& sounds() const { return *sounds_; }
    /// Receives the sign-in page's return address the browser hands to the application.
    SignInController& signInController() { return signInController_; }
    /// The folder received files go to now.
    std::filesystem::path receiveFolder() const;

    /// Brings the application forward when a code must be confirmed.
    std::function<void()> onPairingRequested;
    /// Opens the main window, on the named tab when given; kept for the views.
    std::function<void(std::optional<std::string>)> onOpenWindow;

    // Operations, all on the main thread.
    /// The start-up sequence, once: listener probe, then the device (identity, listener, discovery,
    /// reachability), then watched folders and the account. Returns at once.
    void start();
    /// Closes every connection in order and ends the device's work, then calls `done` on the main thread
    /// once no sound is still loading.
    void stop(std::function<void()> done);
    /// Dials the peer unless a dial to it runs or it is already connected (then it is selected).
    void connect(const DiscoveredPeer& peer);
    /// Dials the device at "HOST:PORT", for when DNS-SD does not see it; an address that does not read or
    /// resolve becomes `connectError`, as a failed dial does.
    void connectTo(const std::string& address);
    /// Ends a connected device's session in order; it leaves the list once its session has ended.
    void disconnect(const ConnectedDevice& device);
    /// Lists the files, newest first, and sends them as one batch to the selected destination. A folder
    /// sends the files inside it; a file that cannot be read is listed as failed, naming it.
    void send(const std::vector<std::filesystem::path>& urls);
    /// Stops the running send that the transfer item belongs to (its items fail as cancelled), or the
    /// incoming transfer of that ID (its sender is told, its partial files go).
    void cancelTransfer(const std::string& itemID);
    /// Sends the failed or cancelled batch the item belongs to again; unchanged files resume where the
    /// receiver's partial files end.
    void retryTransfer(const std::string& itemID);
    /// Stops every running send and incoming transfer, or sends every failed or cancelled batch again (the
    /// prompt's commands).
    void cancelTransfers();
    void retryTransfers();
    bool canCancel(const std::string& itemID) const;
    bool canRetry(const std::string& itemID) const { return sendHolding(failedSends_, itemID).has_value(); }
    /// Sends a settled file from a watched folder, unless it lies inside the receive folder.
    void sendFromWatchFolder(const std::filesystem::path& file);
    void approvePendingPairing();
    void rejectPendingPairing();
    /// Removes every transfer that is no longer active.
    void clearFinished();
    void requestTab(const std::string& tab);
    /// Starts the browser sign-in unless one runs; a completed sign-in registers this device.
    void signIn();
    /// Ends a running sign-in as if the user had closed the browser; signing in can start again.
    void cancelSignIn();
    /// Forgets the account: running sessions go on, new ones are refused.
    void signOut();
    /// Stores the browser's peer list without this device and keeps the selection on a listed peer.
    void updatePeers(const std::vector<DiscoveredPeer>& browsed);

    /// The user-facing text for a failed send.
    static std::string describeTransfer(const std::exception_ptr& error);
    /// Whether `path` lies inside `folder`, comparing whole path components.
    static bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder);
    /// Whether signing in again is the way past the error: an `APIError` that says so, nothing else.
    static bool isRecoverable(const std::exception_ptr& error);

Q_SIGNALS:
    void availabilityChanged();
    void peersChanged();
    void connectingChanged();
    void connectErrorChanged();
    void pendingPairingChanged();
    void connectedDevicesChanged();
    void transfersChanged();
    void incomingTransfersChanged();
    void receivedChanged();
    void diagnosisChanged();
    void selectedPeerIDChanged();
    void isDragHoveringChanged();
    void deviceNameChanged();
    void tabRequestChanged();
    void identityChanged();
    void advertiserChanged();
    void browserChanged();
    void accountChanged();
    /// The stored account was read at start-up, whether there was one or not.
    void accountLoaded();
    void isSigningInChanged();
    void signInErrorChanged();
    void signInErrorIsRecoverableChanged();
    void justSignedInChanged();
    void registeredDeviceIdChanged();
    /// One file arrived from the named device; `received` has changed already.
    void fileReceived(const tarnwick::ReceivedFile& file, const std::string& sender);
    /// Files a device offered were refused without asking, for the reason the message gives.
    void receiveRefused(const std::string& message);

private:
    /// A send on its way: its rows and when it began.
    struct Sending {
        TransferList::Batch batch;
        std::chrono::steady_clock::time_point started;
    };

    // The device and its events (AppStateSessions.cpp).
    void startDevice();
    void apply(DeviceEvent event);
    void apply(DeviceEvents::Started started);
    void apply(DeviceEvents::StartFailed failed);
    void apply(DeviceEvents::PeersChanged changed);
    void apply(DeviceEvents::DialStarted started);
    void apply(DeviceEvents::DialFailed failed);
    void apply(DeviceEvents::DialEnded ended);
    void apply(DeviceEvents::PairingRequested requested);
    void apply(DeviceEvents::PairingEnded ended);
    void apply(DeviceEvents::Paired paired);
    void apply(DeviceEvents::Connected connected);
    void apply(DeviceEvents::Disconnected disconnected);
    void apply(DeviceEvents::Received received);
    void apply(DeviceEvents::TransferProgressed progressed);
    void apply(DeviceEvents::TransferEnded ended);
    void apply(DeviceEvents::ReceiveRefused refused);
    void apply(DeviceEvents::ReceiveProgressed progressed);
    void apply(DeviceEvents::FileSettled settled);
    /// The engine runs the watchers of the watched folders.
    WatchFolderStore::Watching watching();
    /// The name of the connected device with this key, if one is connected.
    std::optional<std::string> connectedName(const std::string& fingerprint) const;
    /// The send whose batch holds the item, in `sends`; none when there is no such send.
    static std::optional<std::uint64_t> sendHolding(const std::map<std::uint64_t, Sending>& sends,
                                                    const std::string& itemID);
    void retrySend(std::uint64_t transfer);
    /// The incoming transfer whose row has this ID; none when there is none.
    const IncomingTransfer* incomingWithID(const std::string& itemID) const;
    void apply(DeviceEvents::NetworkChanged changed);
    /// Sets `diagnosis` from the network reading, the peer count and the last failed dial.
    void updateDiagnosis();
    void failStart(const std::string& reason);
    void registerConnected(ConnectedDevice device);
    void removeConnected(const std::string& fingerprint);
    void withdrawPrompt(std::uint64_t serial);
    std::vector<PairedPeer> pairedPeers() const;

    // The account and the registry's verdicts (AppStateAccount.cpp).
    void apply(DeviceEvents::AccountLoaded loaded);
    void apply(DeviceEvents::SignedIn signedIn);
    void apply(DeviceEvents::SignInFailed failed);
    void apply(DeviceEvents::SignedOut signedOut);
    void apply(DeviceEvents::Registered registered);
    void apply(DeviceEvents::RegistrationFailed failed);
    void apply(DeviceEvents::PairingVerified verified);
    void apply(DeviceEvents::PairingRefuted refuted);
    /// Ends a running sign-in once its registration ended, after `signInMinimumShown`.
    void finishSignIn();
    void showSignedIn();
    void failSignIn(const std::exception_ptr& error);
    void setSignInError(std::optional<std::string> message, bool recoverable);

    // Sending (AppStateSending.cpp).
    void updateProgress(const TransferProgress& progress, std::chrono::steady_clock::time_point started,
                        const TransferList::Batch& batch);
    void finishBatch(const TransferList::Batch& batch, const TransferItem::State& state);
    void recordReceived(ReceivedFile file, const std::string& sender);

    /// A line on standard output for whoever runs the application; never shown to the user.
    static void diagnostic(const std::string& line);

    template <typename T> void assign(T& field, T value, void (AppState::*changed)()) {
        if (!(field == value)) {
            field = std::move(value);
            Q_EMIT(this->*changed)();
        }
    }

    const Setup setup_;
    DownloadsLocation* downloads_;
    Sounds* sounds_;
    PairedDevices* paired_;
    PairedAddresses addresses_;
    /// Dials by address that have not ended: the device that answers one is remembered there.
    std::set<std::string> addressDials_;
    WatchFolderStore* watchFolders_;
    /// This device on the network; created at start, when the name is known.
    std::shared_ptr<ConnectDevice> device_;
    SignInController signInController_;

    Availability availability_;
    std::vector<DiscoveredPeer> peers_;
    std::optional<std::string> connecting_;
    std::optional<std::string> connectError_;
    std::optional<PendingPairing> pendingPairing_;
    std::vector<ConnectedDevice> connectedDevices_;
    TransferList transfers_;
    std::vector<IncomingTransfer> incoming_;
    std::vector<ReceivedFile> received_;
    std::optional<ReachabilityDiagnosis> diagnosis_;
    std::optional<std::string> selectedPeerID_;
    bool isDragHovering_ = false;
    std::string deviceName_;
    TabRequest tabRequest_;
    std::optional<DeviceIdentity> identity_;
    std::shared_ptr<ServiceAdvertiser> advertiser_;
    std::shared_ptr<ServiceBrowser> browser_;
    std::optional<AuthSession> account_;
    bool isSigningIn_ = false;
    std::optional<std::string> signInError_;
    bool signInErrorIsRecoverable_ = false;
    bool justSignedIn_ = false;
    std::optional<std::string> registeredDeviceId_;
    /// When the running sign-in got its session.
    std::chrono::steady_clock::time_point signedInAt_;
    /// Devices the registry check verified in this run.
    std::set<std::string> verified_;

    bool started_ = false;
    /// The reachability monitor's last reading; a network is assumed until the first.
    bool networkSatisfied_ = true;
    /// The name of the peer whose dial failed last, until a device connects or a send succeeds.
    std::optional<std::string> lastFailedPeer_;
    /// Prompts waiting for the user, oldest first; `pendingPairing` shows the first.
    std::vector<PendingPairing> prompts_;
    std::map<std::uint64_t, Sending> sends_;
    /// Sends that failed or were cancelled, for a retry.
    std::map<std::uint64_t, Sending> failedSends_;
    std::uint64_t nextTransfer_ = 0;
};

} // namespace tarnwick
