#include "ConnectUI/ViewModels/ConnectModel.hpp"

#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Desktop/FileManager.hpp"
#include "ConnectUI/Desktop/FirewallSettings.hpp"
#include "ConnectUI/Format/ByteFormat.hpp"
#include "ConnectUI/Gallery/TransferGallery.hpp"
#include "ConnectUI/Presentation/AvailabilityText.hpp"
#include "ConnectUI/Presentation/ConnectHeadline.hpp"
#include "ConnectUI/Presentation/MenuPanelContent.hpp"
#include "ConnectUI/Presentation/TransferRowDetail.hpp"

#include <QDir>
#include <QFileDialog>

#include <algorithm>

namespace tarnwick {
namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}
QString text(const std::optional<std::string>& value) {
    return value ? text(*value) : QString();
}

ConnectHeadline headlineOf(const AppState& state, bool targeted) {
    return ConnectHeadline::of({state.isSigningIn(), state.justSignedIn(), state.isSignedIn(),
                                state.connectedDevices().size(), state.peers().size(), targeted});
}

} // namespace

ConnectModel::ConnectModel(AppState& state, QObject* parent) : QObject(parent), state_(state) {
    for (const auto signal :
         {&AppState::availabilityChanged, &AppState::peersChanged, &AppState::connectingChanged,
          &AppState::connectErrorChanged, &AppState::pendingPairingChanged,
          &AppState::connectedDevicesChanged, &AppState::transfersChanged, &AppState::receivedChanged,
          &AppState::diagnosisChanged, &AppState::selectedPeerIDChanged, &AppState::accountChanged,
          &AppState::isSigningInChanged, &AppState::signInErrorChanged,
          &AppState::signInErrorIsRecoverableChanged, &AppState::justSignedInChanged}) {
        QObject::connect(&state_, signal, this, &ConnectModel::changed);
    }
    QObject::connect(&state_.paired(), &PairedDevices::devicesChanged, this, &ConnectModel::changed);
    QObject::connect(&state_, &AppState::transfersChanged, this, [this] {
        refreshTransfers();
        refreshGallery();
    });
    QObject::connect(&state_, &AppState::receivedChanged, this, [this] {
        refreshReceived();
        refreshGallery();
    });
    QObject::connect(&state_, &AppState::incomingTransfersChanged, this, &ConnectModel::refreshTransfers);
    QObject::connect(&state_, &AppState::connectedDevicesChanged, this, &ConnectModel::refreshDevices);
    QObject::connect(&state_, &AppState::selectedPeerIDChanged, this, &ConnectModel::refreshDevices);
    refreshTransfers();
    refreshReceived();
    refreshDevices();
    refreshGallery();
}

void ConnectModel::setTargeted(bool targeted) {
    if (targeted != targeted_) {
        targeted_ = targeted;
        Q_EMIT changed();
    }
}

QString ConnectModel::headline() const {
    return text(headlineOf(state_, targeted_).headline);
}
QString ConnectModel::subtitle() const {
    return text(headlineOf(state_, targeted_).subtitle);
}
bool ConnectModel::signedIn() const {
    return state_.isSignedIn();
}
QString ConnectModel::accountName() const {
    const auto& account = state_.account();
    if (!account) {
        return {};
    }
    if (account->email && !account->email->empty()) {
        return text(*account->email);
    }
    return account->userSub.empty() ? QString("Signed in") : text(account->userSub);
}
bool ConnectModel::isSigningIn() const {
    return state_.isSigningIn();
}
QString ConnectModel::signInError() const {
    return text(state_.signInError());
}
bool ConnectModel::signInErrorRecoverable() const {
    return state_.signInErrorIsRecoverable();
}

QString ConnectModel::availability() const {
    switch (state_.availability().state) {
    case Availability::Case::ready:
        return "ready";
    case Availability::Case::blocked:
        return "blocked";
    case Availability::Case::starting:
        break;
    }
    return "starting";
}

QString ConnectModel::availabilityText() const {
    return tarnwick::availabilityText(state_.availability());
}

QString ConnectModel::blockedMessage() const {
    return text(state_.availability().message);
}

void ConnectModel::refreshDevices() {
    KeyedListModel::Rows devices;
    for (const ConnectedDevice& device : state_.connectedDevices()) {
        devices.append({{"key", text(device.id)},
                        {"id", text(device.id)},
                        {"name", text(device.name)},
                        {"symbol", text(device.symbol())},
                        {"verified", device.verified},
                        {"selected", state_.selectedPeerID() == device.id}});
    }
    devices_.update(devices);
}

QVariantList ConnectModel::nearbyPeers() const {
    QVariantList peers;
    const auto& connected = state_.connectedDevices();
    const auto& discovered = state_.peers();
    for (std::size_t i = 0; i < discovered.size(); ++i) {
        const DiscoveredPeer& peer = discovered[i];
        if (std::ranges::any_of(connected,
                                [&](const ConnectedDevice& device) { return device.id == peer.id; })) {
            continue;
        }
        peers.append(QVariantMap{{"index", static_cast<int>(i)},
                                 {"name", text(peer.name)},
                                 {"system", peerSystem(peer.model, peer.osVersion)},
                                 {"symbol", peerSymbol(peer.model)},
                                 {"connecting", state_.connecting() == peer.id}});
    }
    appendRemembered(peers);
    return peers;
}

// Paired devices DNS-SD does not see, which answered at an address before, are offered there.
void ConnectModel::appendRemembered(QVariantList& peers) const {
    for (const auto& device : state_.paired().devices()) {
        const auto address = state_.addresses().address(device.fingerprint);
        const auto seen = [&](const auto& listed) { return listed.fingerprint == device.fingerprint; };
        if (!address || std::ranges::any_of(state_.peers(), seen) ||
            std::ranges::any_of(state_.connectedDevices(), seen)) {
            continue;
        }
        peers.append(QVariantMap{{"index", -1},
                                 {"address", text(*address)},
                                 {"name", text(device.name)},
                                 {"system", "At " + text(*address)},
                                 {"symbol", peerSymbol(std::nullopt)},
                                 {"connecting", state_.connecting() == address}});
    }
}

QString ConnectModel::connectError() const {
    return text(state_.connectError());
}

QVariantMap ConnectModel::pairing() const {
    const auto& pending = state_.pendingPairing();
    if (!pending) {
        return {};
    }
    return {{"peerName", text(pending->peerName)},
            {"code", text(pending->code)},
            {"details", text(pending->details)},
            {"warning", text(pending->warning)}};
}

QString ConnectModel::menuContent() const {
    return text(toString(menuPanelContent(
        {state_.justSignedIn(), state_.pendingPairing().has_value(), state_.isSignedIn(),
         state_.availability().state == Availability::Case::blocked, !state_.connectedDevices().empty()})));
}

QString ConnectModel::diagnosis() const {
    return state_.diagnosis() ? text(state_.diagnosis()->explanation()) : QString();
}
bool ConnectModel::diagnosisSuggestsCloud() const {
    return state_.diagnosis() && state_.diagnosis()->suggestsCloudFallback();
}

// Offers being received come first: they are the newest and can only be cancelled.
void ConnectModel::refreshTransfers() {
    KeyedListModel::Rows items;
    for (const IncomingTransfer& incoming : state_.incomingTransfers()) {
        items.append({{"key", text(incoming.id())},
                      {"name", text(incoming.title())},
                      {"detail", transferRowDetail(incoming)},
                      {"incoming", true},
                      {"failed", false},
                      {"finished", false},
                      {"fraction", incoming.offer.fraction()},
                      {"cancellable", true},
                      {"retryable", false}});
    }
    for (const TransferItem& item : state_.transfers()) {
        const bool sending = item.state.state == TransferItem::State::Case::sending;
        items.append({{"key", text(item.id)},
                      {"name", text(item.name)},
                      {"detail", transferRowDetail(item)},
                      {"incoming", false},
                      {"failed", item.state.state == TransferItem::State::Case::failed},
                      {"finished", item.state.state == TransferItem::State::Case::finished},
                      {"fraction", sending ? item.state.fraction : -1.0},
                      {"cancellable", state_.canCancel(item.id)},
                      {"retryable", state_.canRetry(item.id)}});
    }
    transfers_.update(items);
}

void ConnectModel::refreshReceived() {
    KeyedListModel::Rows files;
    for (const ReceivedFile& file : state_.received()) {
        files.append({{"key", text(file.path.string())},
                      {"name", text(file.name)},
                      {"path", text(file.path.string())},
                      {"size", ByteFormat::size(file.byteCount)}});
    }
    received_.update(files);
}

QString ConnectModel::glyphState() const {
    const auto& items = state_.transfers();
    if (std::ranges::any_of(items, [](const TransferItem& item) { return item.state.isActive(); })) {
        return "working";
    }
    return !items.empty() && items.front().state.state == TransferItem::State::Case::finished ? "success"
                                                                                              : "idle";
}

bool ConnectModel::shimmering() const {
    return state_.isSignedIn() && state_.connectedDevices().empty();
}

void ConnectModel::setGalleryFilter(const QString& filter) {
    if (filter != galleryFilter_) {
        galleryFilter_ = filter;
        Q_EMIT galleryFilterChanged();
        refreshGallery();
    }
}

QString ConnectModel::galleryEmptyText() const {
    return text(TransferGallery::emptyText(TransferGallery::filterNamed(galleryFilter_.toStdString())));
}

void ConnectModel::refreshGallery() {
    const auto keyOf = [](const GalleryEntry& entry) {
        return (entry.direction == GalleryEntry::Direction::received ? "received:" : "sent:") +
               text(entry.id);
    };
    // Entries first seen in this refresh count as the newest; the ones seen before keep their turn.
    ++refreshes_;
    std::map<QString, std::uint64_t> listedIn;
    const auto entries = TransferGallery::entries(state_.transfers(), state_.received());
    for (const GalleryEntry& entry : entries) {
        const auto seen = listedIn_.find(keyOf(entry));
        listedIn[keyOf(entry)] = seen == listedIn_.end() ? refreshes_ : seen->second;
    }
    listedIn_ = std::move(listedIn);
    const auto ordered = TransferGallery::newestFirst(
        entries, [&](const GalleryEntry& entry) { return listedIn_.at(keyOf(entry)); });

    KeyedListModel::Rows shown;
    for (const GalleryEntry& entry :
         TransferGallery::visible(ordered, TransferGallery::filterNamed(galleryFilter_.toStdString()))) {
        shown.append({{"key", keyOf(entry)},
                      {"name", text(entry.name)},
                      {"path", text(entry.url.string())},
                      {"size", ByteFormat::size(entry.byteCount)},
                      {"received", entry.direction == GalleryEntry::Direction::received},
                      {"peerName", text(entry.peerName)},
                      {"fraction", entry.fraction.value_or(-1.0)},
                      {"failure", text(entry.failure)}});
    }
    gallery_.update(shown);
}

void ConnectModel::connectPeer(int index) {
    const auto& peers = state_.peers();
    if (index >= 0 && static_cast<std::size_t>(index) < peers.size()) {
        state_.connect(peers[static_cast<std::size_t>(index)]);
    }
}

void ConnectModel::connectAddress(const QString& address) {
    state_.connectTo(address.trimmed().toStdString());
}

void ConnectModel::send(const QList<QUrl>& urls) {
    std::vector<std::filesystem::path> files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            files.emplace_back(url.toLocalFile().toStdString());
        }
    }
    if (!files.empty()) {
        state_.send(files);
    }
}

void ConnectModel::chooseFiles() {
    // QFileDialog hands over to the desktop's portal where there is one. It is opened, not run: a nested
    // event loop inside a QML handler can stall the window's rendering.
    auto* dialog = new QFileDialog(nullptr, "Send Files", QDir::homePath());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    QObject::connect(dialog, &QDialog::accepted, this, [this, dialog] { send(dialog->selectedUrls()); });
    dialog->open();
}

void ConnectModel::selectDestination(const QString& id) {
    state_.setSelectedPeerID(id.toStdString());
}
void ConnectModel::approvePairing() {
    state_.approvePendingPairing();
}
void ConnectModel::rejectPairing() {
    state_.rejectPendingPairing();
}
void ConnectModel::clearFinished() {
    state_.clearFinished();
}
void ConnectModel::cancelTransfer(const QString& key) {
    state_.cancelTransfer(key.toStdString());
}
void ConnectModel::retryTransfer(const QString& key) {
    state_.retryTransfer(key.toStdString());
}
void ConnectModel::signIn() {
    state_.signIn();
}
void ConnectModel::cancelSignIn() {
    state_.cancelSignIn();
}
void ConnectModel::signOut() {
    state_.signOut();
}

void ConnectModel::openWindow(const QString& tab) {
    if (state_.onOpenWindow) {
        state_.onOpenWindow(tab.toStdString());
    }
}

void ConnectModel::reveal(const QString& path) {
    FileManager::reveal(path.toStdString());
}
void ConnectModel::open(const QString& path) {
    FileManager::open(path.toStdString());
}

bool ConnectModel::canOpenFirewallSettings() const {
    return FirewallSettings::command().has_value();
}

void ConnectModel::openFirewallSettings() {
    FirewallSettings::open();
}

QString ConnectModel::peerSystem(const std::optional<std::string>& model,
                                 const std::optional<std::string>& osVersion) {
    const QString system = text(model.value_or("iOS"));
    return osVersion && !osVersion->empty() ? system + " " + text(*osVersion) : system;
}

QString ConnectModel::peerSymbol(const std::optional<std::string>& model) {
    const auto platform = model ? enumFromRawValue<DevicePlatform>(*model) : std::nullopt;
    return text(ConnectedDevice::symbolFor(platform.value_or(DevicePlatform::iOS)));
}

} // namespace tarnwick
