#include "ConnectUI/App/SendCommand.hpp"

#include "ConnectUI/Terminal/TerminalText.hpp"

#include <algorithm>
#include <unistd.h>

namespace tarnwick {
namespace {

/// "123 456": two groups read back more easily than six digits.
std::string grouped(const std::string& code) {
    return code.size() == 6 ? code.substr(0, 3) + " " + code.substr(3) : code;
}

} // namespace

SendCommand::SendCommand(AppState& state, CommandLine::Options options, EventReporter& reporter,
                         std::optional<Question> question, QObject* parent)
    : QObject(parent),
      state_(state),
      options_(std::move(options)),
      reporter_(reporter),
      question_(question) {
    lookup_.setSingleShot(true);
    lookup_.setInterval(lookupTimeout);
    QObject::connect(&lookup_, &QTimer::timeout, this, [this] {
        fail(CommandLine::unreachable, "No device named " + *options_.to + " is seen on this network.");
    });
    QObject::connect(&state_, &AppState::availabilityChanged, this, [this] {
        if (state_.availability().state == Availability::Case::blocked) {
            fail(CommandLine::unreachable, state_.availability().message);
        }
    });
    QObject::connect(&state_, &AppState::peersChanged, this, &SendCommand::dialNamedPeer);
    QObject::connect(&state_, &AppState::connectErrorChanged, this, [this] {
        if (const auto& error = state_.connectError(); error && dialed_ && !sending_) {
            fail(CommandLine::unreachable, *error);
        }
    });
    // A dial that ends without a device listed failed its handshake: a refused code, or a device that
    // did not trust this one.
    QObject::connect(&state_, &AppState::connectingChanged, this, [this] {
        if (dialed_ && !state_.connecting() && !sending_) {
            fail(CommandLine::unreachable, "Could not pair or sign in with " +
                                               options_.to.value_or(options_.address.value_or("")) + ".");
        }
    });
    QObject::connect(&state_, &AppState::connectedDevicesChanged, this, &SendCommand::deviceConnected);
    QObject::connect(&state_, &AppState::transfersChanged, this, &SendCommand::showTransfers);
    if (question_) {
        answerReady_ = std::make_unique<QSocketNotifier>(question_->input, QSocketNotifier::Read);
        answerReady_->setEnabled(false);
        QObject::connect(answerReady_.get(), &QSocketNotifier::activated, this, &SendCommand::readAnswer);
        QObject::connect(&state_, &AppState::pendingPairingChanged, this, &SendCommand::askPairing);
    }
}

void SendCommand::begin() {
    if (!state_.isSignedIn()) {
        fail(CommandLine::unreachable, "Not signed in. Sign in with the application first.");
    } else if (sendToConnected()) {
        return;
    } else if (state_.connecting()) {
        // The running instance dials one device at a time.
        fail(CommandLine::unreachable, "Another device is being connected. Try again in a moment.");
    } else if (options_.address) {
        dialed_ = true;
        state_.connectTo(*options_.address);
    } else {
        lookup_.start();
        dialNamedPeer();
    }
}

// In the running instance the device may be connected already: by its name, or by the address it
// answered at.
bool SendCommand::sendToConnected() {
    const auto& devices = state_.connectedDevices();
    const auto device = std::find_if(devices.begin(), devices.end(),
                                     [this](const ConnectedDevice& listed) { return isTheDevice(listed); });
    if (device == devices.end()) {
        return false;
    }
    sendTo(*device);
    return true;
}

// The address a dial answered at is remembered before the device is listed; a device found by DNS-SD
// says the identifier it was seen with, whatever name its service had to take.
bool SendCommand::isTheDevice(const ConnectedDevice& device) const {
    if (options_.address) {
        return state_.addresses().address(device.fingerprint) == options_.address;
    }
    return device.id == dialedPeerID_ || device.name == *options_.to;
}

void SendCommand::dialNamedPeer() {
    if (dialed_ || !lookup_.isActive()) {
        return;
    }
    const auto& peers = state_.peers();
    const auto peer = std::find_if(peers.begin(), peers.end(), [&](const DiscoveredPeer& candidate) {
        return candidate.name == options_.to;
    });
    if (peer != peers.end()) {
        lookup_.stop();
        dialed_ = true;
        dialedPeerID_ = peer->id;
        state_.connect(*peer);
    }
}

// Another device may connect to this one meanwhile: only the one dialled is sent to.
void SendCommand::deviceConnected() {
    if (dialed_ && !sending_) {
        sendToConnected();
    }
}

void SendCommand::sendTo(const ConnectedDevice& device) {
    reporter_.event("connected", {{"name", device.name}, {"id", device.id}},
                    "connected to " + TerminalText::escaped(device.name));
    sending_ = true;
    state_.setSelectedPeerID(device.id);
    state_.send(options_.files);
    // The batch is listed first, one item per file.
    const auto& items = state_.transfers();
    for (std::size_t i = 0; i < options_.files.size() && i < items.size(); ++i) {
        items_.insert(items[i].id);
    }
}

void SendCommand::askPairing() {
    const auto& prompt = state_.pendingPairing();
    if (!prompt || prompt->serial == asked_) {
        return;
    }
    asked_ = prompt->serial;
    answer_.clear();
    reporter_.event("pairing", {{"name", prompt->peerName}, {"code", prompt->code}}, {});
    question_->out << "Pair with " << TerminalText::escaped(prompt->peerName) << "? Code "
                   << grouped(prompt->code) << " [y/N] " << std::flush;
    answerReady_->setEnabled(true);
}

// Anything but yes refuses, and so does the end of input: nobody is there to compare the code.
void SendCommand::readAnswer() {
    char buffer[256];
    const ssize_t count = ::read(question_->input, buffer, sizeof buffer);
    if (count > 0) {
        answer_.append(buffer, count);
        if (!answer_.contains('\n')) {
            return;
        }
    }
    if (!::isatty(question_->input)) {
        // Nobody typed the answer, so no Enter ended the question's line.
        question_->out << '\n';
    }
    answerReady_->setEnabled(false);
    const QByteArray word = answer_.left(answer_.indexOf('\n')).trimmed().toLower();
    const auto& prompt = state_.pendingPairing();
    if (!prompt || prompt->serial != asked_) {
        return;
    }
    (word == "y" || word == "yes") ? state_.approvePendingPairing() : state_.rejectPendingPairing();
}

void SendCommand::showTransfers() {
    for (const auto& item : state_.transfers()) {
        if (!items_.contains(item.id) || ended_.contains(item.id)) {
            continue;
        }
        switch (item.state.state) {
        case TransferItem::State::Case::waiting:
            break;
        case TransferItem::State::Case::sending:
            reporter_.progress(
                item.name,
                static_cast<std::uint64_t>(item.state.fraction * static_cast<double>(item.byteCount)),
                item.byteCount, item.state.bytesPerSecond);
            break;
        case TransferItem::State::Case::finished:
            ended_.insert(item.id);
            reporter_.event(
                "finished", {{"file", item.name}, {"bytes", item.byteCount}, {"to", item.peerName}},
                "sent " + TerminalText::escaped(item.name) + " to " + TerminalText::escaped(item.peerName));
            break;
        case TransferItem::State::Case::failed:
            ended_.insert(item.id);
            anyFailed_ = true;
            reporter_.event("failed",
                            {{"file", item.name}, {"to", item.peerName}, {"message", item.state.message}},
                            TerminalText::escaped(item.name) + " was not sent: " + item.state.message);
            break;
        }
    }
    if (!items_.empty() && ended_.size() == items_.size()) {
        finish(anyFailed_ ? CommandLine::fileFailed : CommandLine::sent);
    }
}

void SendCommand::fail(int status, const std::string& message) {
    if (!finished_) {
        reporter_.event("failed", {{"message", message}}, "failed: " + TerminalText::escaped(message));
        finish(status);
    }
}

void SendCommand::finish(int status) {
    if (!finished_) {
        finished_ = true;
        Q_EMIT finished(status);
    }
}

} // namespace tarnwick
