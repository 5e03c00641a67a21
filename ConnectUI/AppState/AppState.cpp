#include "ConnectUI/AppState/AppState.hpp"

#include "ConnectCore/Host/HostFacts.hpp"

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>

#include <algorithm>
#include <iostream>

namespace tarnwick {
namespace {

/// The entry whose `id` is the chosen one, else the first entry, else none.
template <typename Entry>
std::optional<Entry> chosenOrFirst(const std::vector<Entry>& entries,
                                   const std::optional<std::string>& chosen) {
    const auto match =
        std::find_if(entries.begin(), entries.end(), [&](const Entry& entry) { return entry.id == chosen; });
    if (match != entries.end()) {
        return *match;
    }
    return entries.empty() ? std::nullopt : std::optional(entries.front());
}

std::string hostDeviceName() {
    std::string name = HostFacts::computerName();
    return name.empty() ? "Mac" : name;
}

} // namespace

AppState::AppState(Setup setup, QObject* parent)
    : QObject(parent),
      setup_(std::move(setup)),
      downloads_(new DownloadsLocation(*setup_.settings, setup_.home.defaultDownloads, this)),
      sounds_(new Sounds(*setup_.settings, this)),
      paired_(new PairedDevices(*setup_.settings, this)),
      addresses_(*setup_.settings),
      watchFolders_(new WatchFolderStore(*setup_.settings, watching(), this)),
      signInController_(setup_.openSignInPage, setup_.signInTimeout),
      deviceName_(hostDeviceName()) {}

AppState::~AppState() {
    if (device_) {
        // Nothing more reaches this object; whoever did not stop the device first has it stop now.
        device_->detach();
        asio::co_spawn(setup_.engine, device_->stop(), asio::detached);
    }
}

void AppState::setSelectedPeerID(std::optional<std::string> id) {
    assign(selectedPeerID_, std::move(id), &AppState::selectedPeerIDChanged);
}

void AppState::setIsDragHovering(bool hovering) {
    assign(isDragHovering_, hovering, &AppState::isDragHoveringChanged);
}

void AppState::setDeviceName(std::string name) {
    assign(deviceName_, std::move(name), &AppState::deviceNameChanged);
}

std::vector<TransferItem> AppState::activeTransfers() const {
    std::vector<TransferItem> active;
    std::copy_if(transfers_.items().begin(), transfers_.items().end(), std::back_inserter(active),
                 [](const TransferItem& item) { return item.state.isActive(); });
    return active;
}

std::optional<ConnectedDevice> AppState::selectedDestination() const {
    return chosenOrFirst(connectedDevices_, selectedPeerID_);
}

std::optional<DiscoveredPeer> AppState::selectedPeer() const {
    return chosenOrFirst(peers_, selectedPeerID_);
}

std::filesystem::path AppState::receiveFolder() const {
    return setup_.fixedDownloads ? *setup_.fixedDownloads : downloads_->url();
}

void AppState::approvePendingPairing() {
    if (pendingPairing_) {
        const auto prompt = *pendingPairing_;
        prompt.decide(true);
        withdrawPrompt(prompt.serial);
    }
}

void AppState::rejectPendingPairing() {
    if (pendingPairing_) {
        const auto prompt = *pendingPairing_;
        prompt.decide(false);
        withdrawPrompt(prompt.serial);
    }
}

void AppState::clearFinished() {
    failedSends_.clear(); // their items go with the other finished ones
    if (transfers_.clearFinished()) {
        Q_EMIT transfersChanged();
    }
}

void AppState::requestTab(const std::string& tab) {
    assign(tabRequest_, TabRequest{tab, tabRequest_.count + 1}, &AppState::tabRequestChanged);
}

void AppState::updatePeers(const std::vector<DiscoveredPeer>& browsed) {
    const std::string own = identity_ ? identity_->spkiSHA256() : std::string();
    std::vector<DiscoveredPeer> others;
    std::copy_if(browsed.begin(), browsed.end(), std::back_inserter(others),
                 [&](const DiscoveredPeer& peer) { return own.empty() || peer.fingerprint != own; });
    // Peers compare by identity, so a device that came back on another address is "unchanged": the list
    // is replaced all the same, or the next dial would go to the address it left.
    const bool changed = !(peers_ == others);
    peers_ = std::move(others);
    if (changed) {
        Q_EMIT peersChanged();
    }
    if (!selectedPeerID_) {
        return;
    }
    const auto isSelected = [&](const auto& device) { return device.id == *selectedPeerID_; };
    // A connected device stays chosen when it is not (or no longer) advertised, as one dialled by its
    // address usually is not: moving the choice would send the next files to another device.
    const bool stillListed = std::any_of(peers_.begin(), peers_.end(), isSelected) ||
                             std::any_of(connectedDevices_.begin(), connectedDevices_.end(), isSelected);
    if (!stillListed) {
        setSelectedPeerID(peers_.empty() ? std::nullopt : std::optional(peers_.front().id));
    }
}

void AppState::registerConnected(ConnectedDevice device) {
    // A device that connected again takes its own place.
    std::erase_if(connectedDevices_,
                  [&](const ConnectedDevice& listed) { return listed.fingerprint == device.fingerprint; });
    const std::string id = device.id;
    device.verified = verified_.contains(device.fingerprint);
    connectedDevices_.push_back(std::move(device));
    Q_EMIT connectedDevicesChanged();
    if (!selectedPeerID_) {
        setSelectedPeerID(id);
    }
}

void AppState::removeConnected(const std::string& fingerprint) {
    const auto leaving =
        std::find_if(connectedDevices_.begin(), connectedDevices_.end(),
                     [&](const ConnectedDevice& listed) { return listed.fingerprint == fingerprint; });
    if (leaving == connectedDevices_.end()) {
        return;
    }
    const std::string id = leaving->id;
    connectedDevices_.erase(leaving);
    Q_EMIT connectedDevicesChanged();
    if (selectedPeerID_ == id) {
        setSelectedPeerID(connectedDevices_.empty() ? std::nullopt
                                                    : std::optional(connectedDevices_.front().id));
    }
}

bool AppState::isInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const auto file = path.lexically_normal();
    auto container = folder.lexically_normal();
    if (!container.has_filename()) {
        container = container.parent_path();
    }
    auto part = file.begin();
    for (const auto& component : container) {
        if (part == file.end() || *part != component) {
            return false;
        }
        ++part;
    }
    return true;
}

void AppState::diagnostic(const std::string& line) {
    std::cout << line << std::endl;
}

} // namespace tarnwick
