// Start-up and the device's events: every connection is the device's; this file turns what it reports
// into the properties the views read.
#include "ConnectCore/Host/AppVersion.hpp"
#include "ConnectUI/AppState/AppState.hpp"

#include <QMetaObject>
#include <asio/co_spawn.hpp>
#include <asio/post.hpp>

#include <algorithm>
#include <iterator>

namespace tarnwick {
namespace {

constexpr const char* refusedText = "This computer is refusing local network connections. A VPN, firewall or "
                                    "security tool is the usual cause.";
// Enough of the key to tell two devices of the same name apart at a glance.
constexpr std::size_t shownFingerprint = 8;

PendingPairing promptFor(DeviceEvents::PairingRequested requested, std::function<void(bool)> decide) {
    std::string details = "Key " + requested.fingerprint.substr(0, shownFingerprint);
    if (!requested.address.empty()) {
        details += ", from " + requested.address;
    }
    std::optional<std::string> warning;
    if (requested.keyChanged) {
        warning = requested.peerName + " presents a different key than before. Pair only if you reset it.";
    }
    return PendingPairing{std::move(requested.code),
                          std::move(requested.peerName),
                          std::move(requested.fingerprint),
                          std::move(details),
                          std::move(warning),
                          std::move(decide),
                          requested.prompt};
}

} // namespace

void AppState::start() {
    if (started_) {
        return;
    }
    started_ = true;
    if (!setup_.canBindListener()) {
        assign(availability_, Availability::blocked(refusedText), &AppState::availabilityChanged);
        return;
    }
    startDevice();
}

void AppState::startDevice() {
    ConnectDevice::Setup device{
        .engine = setup_.engine,
        .blocking = setup_.blocking,
        .supportFolder = setup_.home.supportFolder,
        .deviceName = deviceName_,
        .appVersion = appVersion,
        .receiveFolder = receiveFolder(),
        .port = setup_.port,
        .discovery = setup_.discovery,
        .pairedPeers = pairedPeers(),
        .promptInterval = setup_.promptInterval,
        .acceptsConnections = account_.has_value(),
        .announce = setup_.announce,
        .account = ConnectDevice::Account{
            setup_.accountEndpoints, KeychainStore(keychainService, setup_.home.settingsFile.parent_path())}};
    // Events come from the engine's threads and are applied here in order; once this object is gone, the
    // device is detached and Qt drops what is still queued for it.
    device_ = std::make_shared<ConnectDevice>(std::move(device), [this](DeviceEvent event) {
        QMetaObject::invokeMethod(
            this, [this, event = std::move(event)]() mutable { apply(std::move(event)); },
            Qt::QueuedConnection);
    });
    QObject::connect(this, &AppState::accountChanged, this,
                     [this] { device_->setAcceptsConnections(isSignedIn()); });
    QObject::connect(paired_, &PairedDevices::devicesChanged, this, [this] {
        const auto peers = pairedPeers();
        device_->setPairedPeers(peers);
        std::set<std::string> fingerprints;
        std::ranges::transform(peers, std::inserter(fingerprints, fingerprints.end()),
                               &PairedPeer::fingerprint);
        addresses_.keepOnly(fingerprints);
    });
    QObject::connect(downloads_, &DownloadsLocation::urlChanged, this,
                     [this] { device_->setReceiveFolder(receiveFolder()); });
    device_->start();
}

void AppState::stop(std::function<void()> done) {
    // A sound still loading would hang the program's exit.
    auto settled = [this, done = std::move(done)]() mutable { sounds_->whenLoaded(std::move(done)); };
    if (!device_) {
        settled();
        return;
    }
    asio::co_spawn(setup_.engine, device_->stop(),
                   [main = setup_.main, settled = std::move(settled)](std::exception_ptr) mutable {
                       asio::post(main, std::move(settled));
                   });
}

std::vector<PairedPeer> AppState::pairedPeers() const {
    std::vector<PairedPeer> peers;
    for (const auto& device : paired_->devices()) {
        peers.push_back({device.fingerprint, device.deviceID, device.name});
    }
    return peers;
}

std::string AppState::pairingDetails() const {
    return pendingPairing_ ? pendingPairing_->details : std::string();
}

std::optional<std::string> AppState::pairingWarning() const {
    return pendingPairing_ ? pendingPairing_->warning : std::nullopt;
}

void AppState::apply(DeviceEvent event) {
    std::visit([this](auto&& happened) { apply(std::move(happened)); }, std::move(event));
}

void AppState::apply(DeviceEvents::Started started) {
    // Set once per run: they never change afterwards.
    identity_ = std::move(started.identity);
    Q_EMIT identityChanged();
    advertiser_ = std::move(started.advertiser);
    Q_EMIT advertiserChanged();
    if (started.browser) {
        browser_ = std::move(started.browser);
        Q_EMIT browserChanged();
    }
    assign(availability_, Availability::ready(started.port), &AppState::availabilityChanged);
    watchFolders_->startAll();
}

void AppState::apply(DeviceEvents::StartFailed failed) {
    failStart(failed.reason);
}

void AppState::failStart(const std::string& reason) {
    assign(availability_, Availability::blocked("Could not start: " + reason),
           &AppState::availabilityChanged);
}

void AppState::apply(DeviceEvents::PeersChanged changed) {
    updatePeers(changed.peers);
    updateDiagnosis();
}

void AppState::apply(DeviceEvents::NetworkChanged changed) {
    networkSatisfied_ = changed.satisfied;
    updateDiagnosis();
}

void AppState::updateDiagnosis() {
    const auto verdict =
        ReachabilityDiagnosis::make(networkSatisfied_, static_cast<int>(peers_.size()), lastFailedPeer_);
    // The banner is for a reason to act on. An empty peer list alone is what the headline says already
    // ("Waiting for your phone"); after a failed dial it explains that failure.
    using Kind = ReachabilityDiagnosis::Kind;
    const bool explains = verdict.kind() == Kind::offline || verdict.kind() == Kind::blockedByNetwork ||
                          (verdict.kind() == Kind::noPeers && lastFailedPeer_);
    assign(diagnosis_, explains ? std::optional(verdict) : std::nullopt, &AppState::diagnosisChanged);
}

void AppState::connect(const DiscoveredPeer& peer) {
    if (!account_ || !identity_ || !device_) {
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
    device_->connect(peer);
}

// The dial is known by the address until its session says who answered.
void AppState::connectTo(const std::string& address) {
    if (!account_ || !identity_ || !device_ || connecting_) {
        return;
    }
    const auto parsed = DeviceAddress::parse(address);
    if (!parsed) {
        assign(connectError_, std::optional("\"" + address + "\" is not an address. Write it as host:port."),
               &AppState::connectErrorChanged);
        return;
    }
    assign(connectError_, std::optional<std::string>(), &AppState::connectErrorChanged);
    assign(connecting_, std::optional(parsed->text()), &AppState::connectingChanged);
    addressDials_.insert(parsed->text());
    device_->connectTo(*parsed);
}

void AppState::disconnect(const ConnectedDevice& device) {
    if (device_) {
        device_->disconnect(device.fingerprint);
    }
}

void AppState::apply(DeviceEvents::DialStarted) {}

void AppState::apply(DeviceEvents::DialFailed failed) {
    assign(connectError_,
           std::optional("Could not reach " + failed.peer.name +
                         ". Make sure it is on this network and Tarnwick is open."),
           &AppState::connectErrorChanged);
    lastFailedPeer_ = failed.peer.name;
    updateDiagnosis();
}

void AppState::apply(DeviceEvents::DialEnded ended) {
    addressDials_.erase(ended.peerID);
    if (connecting_ == ended.peerID) {
        assign(connecting_, std::optional<std::string>(), &AppState::connectingChanged);
    }
}

void AppState::apply(DeviceEvents::PairingRequested requested) {
    auto decide = [device = std::weak_ptr(device_), prompt = requested.prompt](bool confirmed) {
        if (const auto owner = device.lock()) {
            owner->answerPairing(prompt, confirmed);
        }
    };
    prompts_.push_back(promptFor(std::move(requested), std::move(decide)));
    if (!pendingPairing_) {
        assign(pendingPairing_, std::optional(prompts_.front()), &AppState::pendingPairingChanged);
    }
    if (onPairingRequested) {
        onPairingRequested();
    }
}

void AppState::apply(DeviceEvents::PairingEnded ended) {
    withdrawPrompt(ended.prompt);
}

// The next waiting prompt, if any, takes the place of one answered or given up.
void AppState::withdrawPrompt(std::uint64_t serial) {
    std::erase_if(prompts_, [serial](const PendingPairing& prompt) { return prompt.serial == serial; });
    if (!pendingPairing_ || pendingPairing_->serial == serial) {
        assign(pendingPairing_,
               prompts_.empty() ? std::optional<PendingPairing>() : std::optional(prompts_.front()),
               &AppState::pendingPairingChanged);
    }
}

void AppState::apply(DeviceEvents::Paired paired) {
    paired_->remember(paired.fingerprint, paired.deviceID, paired.name);
    // The device asks the registry about a first contact between devices of the account.
    verified_.erase(paired.fingerprint);
}

void AppState::apply(DeviceEvents::Connected connected) {
    // Every ready session is a paired one, so the address it answered at is worth keeping.
    if (connected.dialedAs && addressDials_.contains(*connected.dialedAs)) {
        addresses_.remember(connected.fingerprint, *connected.dialedAs);
    }
    registerConnected(ConnectedDevice{std::move(connected.deviceID), std::move(connected.name),
                                      connected.platform, std::move(connected.fingerprint)});
    lastFailedPeer_.reset();
    updateDiagnosis();
}

void AppState::apply(DeviceEvents::Disconnected disconnected) {
    removeConnected(disconnected.fingerprint);
}

void AppState::apply(DeviceEvents::Received received) {
    recordReceived(std::move(received.file), connectedName(received.fingerprint).value_or(""));
}

void AppState::apply(DeviceEvents::TransferProgressed progressed) {
    if (const auto sending = sends_.find(progressed.transfer); sending != sends_.end()) {
        updateProgress(progressed.progress, sending->second.started, sending->second.batch);
    }
}

void AppState::apply(DeviceEvents::TransferEnded ended) {
    const auto sending = sends_.find(ended.transfer);
    if (sending == sends_.end()) {
        return;
    }
    const TransferList::Batch batch = sending->second.batch;
    if (ended.failure) {
        failedSends_.insert(sends_.extract(sending));
        finishBatch(batch, TransferItem::State::failed(describeTransfer(ended.failure)));
        return;
    }
    sends_.erase(sending);
    finishBatch(batch, TransferItem::State::finished());
    sounds_->playSent();
    lastFailedPeer_.reset();
    assign(diagnosis_, std::optional<ReachabilityDiagnosis>(), &AppState::diagnosisChanged);
}

void AppState::apply(DeviceEvents::ReceiveProgressed progressed) {
    const auto listed = std::ranges::find_if(incoming_, [&progressed](const IncomingTransfer& incoming) {
        return incoming.fingerprint == progressed.fingerprint &&
               incoming.offer.offerID == progressed.offer.offerID;
    });
    if (progressed.offer.ended) {
        if (listed != incoming_.end()) {
            incoming_.erase(listed);
        }
    } else if (listed != incoming_.end()) {
        listed->offer = std::move(progressed.offer);
    } else {
        const std::string name = connectedName(progressed.fingerprint).value_or("");
        incoming_.insert(incoming_.begin(), {progressed.fingerprint, name, std::move(progressed.offer)});
    }
    Q_EMIT incomingTransfersChanged();
}

void AppState::apply(DeviceEvents::ReceiveRefused refused) {
    const std::string name = connectedName(refused.fingerprint).value_or("a device");
    Q_EMIT receiveRefused("Not enough space for the files from " + name + ".");
}

std::optional<std::string> AppState::connectedName(const std::string& fingerprint) const {
    const auto device = std::ranges::find(connectedDevices_, fingerprint, &ConnectedDevice::fingerprint);
    return device != connectedDevices_.end() ? std::optional(device->name) : std::nullopt;
}

} // namespace tarnwick
