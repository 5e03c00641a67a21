#include "ConnectUI/App/HeadlessFrontEnd.hpp"

#include "ConnectCore/Discovery/DeviceAddress.hpp"
#include "ConnectUI/Terminal/TerminalText.hpp"

#include <QCoreApplication>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace tarnwick {
namespace {

using json = nlohmann::ordered_json;

std::string joinedNames(const auto& items) {
    std::string names;
    for (const auto& item : items) {
        names += (names.empty() ? "" : ", ") + TerminalText::escaped(item.name);
    }
    return names.empty() ? "none" : names;
}

json names(const auto& items) {
    json list = json::array();
    for (const auto& item : items) {
        list.push_back(item.name);
    }
    return list;
}

std::string describe(const TransferItem::State& state) {
    switch (state.state) {
    case TransferItem::State::Case::waiting:
        return "waiting";
    case TransferItem::State::Case::sending:
        return "sending " + std::to_string(static_cast<int>(std::floor(state.fraction * 100))) + "%";
    case TransferItem::State::Case::finished:
        return "finished";
    case TransferItem::State::Case::failed:
        return "failed: " + state.message;
    }
    return {};
}

bool isAnswer(const QString& word) {
    return word == "y" || word == "yes" || word == "n" || word == "no";
}

} // namespace

HeadlessFrontEnd::HeadlessFrontEnd(AppState& state, EventReporter& reporter, int input, Behaviour behaviour,
                                   QObject* parent)
    : QObject(parent),
      state_(state),
      reporter_(reporter),
      inputReady_(input, QSocketNotifier::Read),
      input_(input),
      behaviour_(behaviour) {
    QObject::connect(&inputReady_, &QSocketNotifier::activated, this, &HeadlessFrontEnd::readInput);
    watch();
}

void HeadlessFrontEnd::watch() {
    QObject::connect(&state_, &AppState::availabilityChanged, this, &HeadlessFrontEnd::showAvailability);
    QObject::connect(&state_, &AppState::peersChanged, this, &HeadlessFrontEnd::showPeers);
    QObject::connect(&state_, &AppState::connectedDevicesChanged, this, &HeadlessFrontEnd::showConnected);
    QObject::connect(&state_, &AppState::pendingPairingChanged, this, &HeadlessFrontEnd::showPairing);
    QObject::connect(&state_, &AppState::transfersChanged, this, &HeadlessFrontEnd::showTransfers);
    QObject::connect(&state_, &AppState::fileReceived, this, &HeadlessFrontEnd::showReceived);
    QObject::connect(&state_, &AppState::incomingTransfersChanged, this, &HeadlessFrontEnd::showIncoming);
    QObject::connect(&state_, &AppState::receiveRefused, this, [this](const std::string& message) {
        reporter_.event("failed", {{"message", message}},
                        "receive refused: " + TerminalText::escaped(message));
    });
    QObject::connect(&state_, &AppState::connectErrorChanged, this, [this] {
        if (const auto& error = state_.connectError()) {
            reporter_.event("failed", {{"message", *error}},
                            "connect error: " + TerminalText::escaped(*error));
        }
    });
    watchAccount();
    QObject::connect(state_.watchFolders(), &WatchFolderStore::lastErrorChanged, this, [this] {
        const std::string error = state_.watchFolders()->lastError().value_or("");
        reporter_.event("watch-error", {{"message", error}}, "watch folder error: " + error);
    });
    QObject::connect(state_.watchFolders(), &WatchFolderStore::foldersChanged, this, [this] {
        std::string paths;
        json list = json::array();
        for (const auto& folder : state_.watchFolders()->folders()) {
            paths += (paths.empty() ? "" : ", ") + folder.path;
            list.push_back(folder.path);
        }
        reporter_.event("watching", {{"folders", list}}, "watching: " + (paths.empty() ? "none" : paths));
    });
}

void HeadlessFrontEnd::execute(const QString& line) {
    const QStringList words = QProcess::splitCommand(line);
    if (words.isEmpty()) {
        return;
    }
    const QString command = words.front();
    if (words.size() == 1 && isAnswer(command) && state_.pendingPairing()) {
        command.startsWith('y') ? state_.approvePendingPairing() : state_.rejectPendingPairing();
    } else if (command == "quit") {
        QCoreApplication::quit();
    } else if (command == "peers") {
        for (const auto& peer : state_.peers()) {
            reporter_.event("peer", {{"name", peer.name}, {"id", peer.id}},
                            "peer " + TerminalText::escaped(peer.name) + " " +
                                TerminalText::escaped(peer.id));
        }
        reporter_.event("peer-count", {{"count", state_.peers().size()}},
                        std::to_string(state_.peers().size()) + " peers");
    } else if (command == "connect" && words.size() == 2) {
        connectTo(words[1].toStdString());
    } else if (command == "send" && words.size() > 1) {
        send(words);
    } else if (command == "cancel" && words.size() == 1) {
        state_.cancelTransfers();
    } else if (command == "retry" && words.size() == 1) {
        state_.retryTransfers();
    } else if (command == "pair" && words.size() == 2 && (words[1] == "yes" || words[1] == "no")) {
        words[1] == "yes" ? state_.approvePendingPairing() : state_.rejectPendingPairing();
    } else if (command == "signin" && words.size() == 1) {
        state_.signIn();
    } else if (command == "signin" && words.size() == 2 && words[1] == "cancel") {
        state_.signInController().cancel();
    } else if (command == "signout" && words.size() == 1) {
        state_.signOut();
    } else if (command == "watch" && words.size() == 3 && words[1] == "add") {
        const std::filesystem::path folder = words[2].toStdString();
        state_.watchFolders()->add([folder] { return std::optional(folder); });
    } else {
        reporter_.event("unknown-command", {{"line", line.toStdString()}},
                        "unknown command: " + line.toStdString() +
                            " (peers, connect NAME|HOST:PORT, send [--to NAME] PATH..., cancel, retry, pair "
                            "yes|no, watch add PATH, "
                            "signin [cancel], signout, quit)");
    }
}

// A name DNS-SD shows wins over an address that reads the same.
void HeadlessFrontEnd::connectTo(const std::string& nameOrAddress) {
    const auto& peers = state_.peers();
    const auto peer = std::find_if(peers.begin(), peers.end(), [&](const DiscoveredPeer& candidate) {
        return candidate.name == nameOrAddress;
    });
    if (peer != peers.end()) {
        state_.connect(*peer);
    } else if (DeviceAddress::parse(nameOrAddress)) {
        state_.connectTo(nameOrAddress);
    } else {
        reporter_.event("failed", {{"message", "no peer named " + nameOrAddress}},
                        "no peer named " + nameOrAddress);
    }
}

// `send --to NAME` picks the connected device; plain `send` goes to the selected one.
void HeadlessFrontEnd::send(const QStringList& words) {
    qsizetype first = 1;
    if (words[1] == "--to") {
        const auto& devices = state_.connectedDevices();
        const std::string name = words.size() > 2 ? words[2].toStdString() : std::string();
        const auto device = std::find_if(devices.begin(), devices.end(),
                                         [&](const ConnectedDevice& listed) { return listed.name == name; });
        if (words.size() < 4 || device == devices.end()) {
            reporter_.event("failed", {{"message", "no connected device named " + name}},
                            "no connected device named " + TerminalText::escaped(name));
            return;
        }
        state_.setSelectedPeerID(device->id);
        first = 3;
    }
    std::vector<std::filesystem::path> files;
    for (qsizetype i = first; i < words.size(); ++i) {
        files.emplace_back(words[i].toStdString());
    }
    state_.send(files);
}

void HeadlessFrontEnd::readInput() {
    char buffer[4096];
    const ssize_t count = ::read(input_, buffer, sizeof buffer);
    if (count <= 0) {
        inputReady_.setEnabled(false);
        if (behaviour_.quitAtEndOfInput) {
            QCoreApplication::quit();
        }
        return;
    }
    pending_.append(buffer, count);
    for (qsizetype end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
        const QString line = QString::fromUtf8(pending_.left(end)).trimmed();
        pending_.remove(0, end + 1);
        execute(line);
    }
}

void HeadlessFrontEnd::watchAccount() {
    QObject::connect(&state_, &AppState::accountChanged, this, [this] {
        const auto& account = state_.account();
        if (!account) {
            reporter_.event("account", {{"email", nullptr}}, "account: none");
            return;
        }
        const std::string email = account->email.value_or(account->userSub);
        reporter_.event("account", {{"email", email}, {"tenant", account->tenantSlug}},
                        "account: " + email + " in " + account->tenantSlug);
    });
    QObject::connect(&state_, &AppState::isSigningInChanged, this, [this] {
        reporter_.event(state_.isSigningIn() ? "signing-in" : "sign-in-ended", {},
                        state_.isSigningIn() ? "signing in" : "sign-in ended");
    });
    QObject::connect(&state_, &AppState::justSignedInChanged, this, [this] {
        if (state_.justSignedIn()) {
            reporter_.event("signed-in", {}, "signed in");
        }
    });
    QObject::connect(&state_, &AppState::signInErrorChanged, this, [this] {
        if (const auto& error = state_.signInError()) {
            reporter_.event(
                "sign-in-error", {{"message", *error}, {"recoverable", state_.signInErrorIsRecoverable()}},
                std::string("sign-in error") + (state_.signInErrorIsRecoverable() ? " (sign in again)" : "") +
                    ": " + *error);
        }
    });
    QObject::connect(&state_, &AppState::registeredDeviceIdChanged, this, [this] {
        const std::string id = state_.registeredDeviceId().value_or("none");
        reporter_.event("registered", {{"id", id}}, "registered: " + id);
    });
}

void HeadlessFrontEnd::showAvailability() {
    const auto& availability = state_.availability();
    switch (availability.state) {
    case Availability::Case::starting:
        reporter_.event("starting", {}, "starting");
        break;
    case Availability::Case::ready:
        reporter_.event("ready", {{"port", availability.port}, {"name", state_.deviceName()}},
                        "ready on port " + std::to_string(availability.port) + " as " + state_.deviceName());
        break;
    case Availability::Case::blocked:
        reporter_.event("blocked", {{"message", availability.message}}, "blocked: " + availability.message);
        break;
    }
}

void HeadlessFrontEnd::showPeers() {
    reporter_.event("peers", {{"names", names(state_.peers())}}, "peers: " + joinedNames(state_.peers()));
}

// The text is the whole list; JSON tells each device that came or went.
void HeadlessFrontEnd::showConnected() {
    showVerified();
    const auto& devices = state_.connectedDevices();
    if (!reporter_.json()) {
        reporter_.event("connected", {}, "connected: " + joinedNames(devices));
        return;
    }
    std::map<std::string, std::string> now;
    for (const auto& device : devices) {
        now[device.id] = device.name;
        if (!shownConnected_.contains(device.id)) {
            reporter_.event("connected", {{"name", device.name}, {"id", device.id}}, {});
        }
    }
    for (const auto& [id, name] : shownConnected_) {
        if (!now.contains(id)) {
            reporter_.event("disconnected", {{"name", name}, {"id", id}}, {});
        }
    }
    shownConnected_ = std::move(now);
}

void HeadlessFrontEnd::showVerified() {
    for (const auto& device : state_.connectedDevices()) {
        if (device.verified && shownVerified_.insert(device.fingerprint).second) {
            reporter_.event("verified", {{"name", device.name}, {"id", device.id}},
                            "verified: " + TerminalText::escaped(device.name));
        }
    }
}

void HeadlessFrontEnd::showPairing() {
    const auto& prompt = state_.pendingPairing();
    if (!prompt) {
        return;
    }
    const bool refuse = behaviour_.pairing == CommandLine::PairingAnswer::never;
    json fields = {{"name", prompt->peerName},
                   {"code", prompt->code},
                   {"fingerprint", prompt->fingerprint},
                   {"details", prompt->details},
                   {"asking", !refuse}};
    std::string plain =
        refuse
            ? "refused to pair with " + TerminalText::escaped(prompt->peerName) + " (--accept-pairing never)"
            : "pair with " + TerminalText::escaped(prompt->peerName) + "? code " + prompt->code +
                  " (pair yes|no)\ndetails: " + TerminalText::escaped(prompt->details);
    if (prompt->warning) {
        fields["warning"] = *prompt->warning;
        plain = "warning: " + TerminalText::escaped(*prompt->warning) + "\n" + plain;
    }
    reporter_.event("pairing", fields, plain);
    if (refuse) {
        state_.rejectPendingPairing();
    }
}

void HeadlessFrontEnd::showTransfers() {
    for (const auto& item : state_.transfers()) {
        const std::string shown = describe(item.state);
        auto& last = shownTransfers_[item.id];
        if (last == shown) {
            continue;
        }
        last = shown;
        const std::string line = "transfer " + TerminalText::escaped(item.name) + " to " +
                                 TerminalText::escaped(item.peerName) + " " + TerminalText::escaped(shown);
        switch (item.state.state) {
        case TransferItem::State::Case::waiting:
            reporter_.event("waiting", {{"file", item.name}, {"to", item.peerName}}, line);
            break;
        case TransferItem::State::Case::sending:
            if (reporter_.json()) {
                reporter_.progress(
                    item.name,
                    static_cast<std::uint64_t>(item.state.fraction * static_cast<double>(item.byteCount)),
                    item.byteCount, item.state.bytesPerSecond);
            } else {
                reporter_.event("progress", {}, line);
            }
            break;
        case TransferItem::State::Case::finished:
            reporter_.event("finished", {{"file", item.name}, {"to", item.peerName}}, line);
            break;
        case TransferItem::State::Case::failed:
            reporter_.event("failed",
                            {{"file", item.name}, {"to", item.peerName}, {"message", item.state.message}},
                            line);
            break;
        }
    }
}

void HeadlessFrontEnd::showReceived(const ReceivedFile& file, const std::string& sender) {
    reporter_.event(
        "received",
        {{"file", file.name}, {"bytes", file.byteCount}, {"path", file.path.string()}, {"from", sender}},
        "received " + TerminalText::escaped(file.name) + " " + std::to_string(file.byteCount) +
            " bytes into " + TerminalText::escaped(file.path.parent_path().string()));
}

// Each offer is announced once, when it is accepted; its files are then reported as they arrive.
void HeadlessFrontEnd::showIncoming() {
    std::set<std::string> listed;
    for (const IncomingTransfer& incoming : state_.incomingTransfers()) {
        listed.insert(incoming.id());
        if (shownIncoming_.contains(incoming.id())) {
            continue;
        }
        reporter_.event("receiving",
                        {{"name", incoming.title()},
                         {"files", incoming.offer.fileCount},
                         {"bytes", incoming.offer.totalBytes},
                         {"from", incoming.peerName}},
                        "receiving " + TerminalText::escaped(incoming.title()) + " from " +
                            TerminalText::escaped(incoming.peerName) + " (cancel stops it)");
    }
    shownIncoming_ = std::move(listed);
}

} // namespace tarnwick
