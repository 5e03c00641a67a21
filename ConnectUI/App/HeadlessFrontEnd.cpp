#include "ConnectUI/App/HeadlessFrontEnd.hpp"

#include <QCoreApplication>
#include <QProcess>

#include <cmath>
#include <unistd.h>

namespace tarnwick {
namespace {

std::string joinedNames(const auto& items) {
    std::string names;
    for (const auto& item : items) {
        names += (names.empty() ? "" : ", ") + item.name;
    }
    return names.empty() ? "none" : names;
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

} // namespace

HeadlessFrontEnd::HeadlessFrontEnd(AppState& state, std::ostream& out, int input, bool quitAtEndOfInput,
                                   QObject* parent)
    : QObject(parent),
      state_(state),
      out_(out),
      inputReady_(input, QSocketNotifier::Read),
      input_(input),
      quitAtEndOfInput_(quitAtEndOfInput) {
    QObject::connect(&inputReady_, &QSocketNotifier::activated, this, &HeadlessFrontEnd::readInput);
    watch();
}

void HeadlessFrontEnd::watch() {
    QObject::connect(&state_, &AppState::availabilityChanged, this, &HeadlessFrontEnd::showAvailability);
    QObject::connect(&state_, &AppState::peersChanged, this, &HeadlessFrontEnd::showPeers);
    QObject::connect(&state_, &AppState::connectedDevicesChanged, this, &HeadlessFrontEnd::showConnected);
    QObject::connect(&state_, &AppState::pendingPairingChanged, this, &HeadlessFrontEnd::showPairing);
    QObject::connect(&state_, &AppState::transfersChanged, this, &HeadlessFrontEnd::showTransfers);
    QObject::connect(&state_, &AppState::receivedChanged, this, &HeadlessFrontEnd::showReceived);
    QObject::connect(&state_, &AppState::connectErrorChanged, this, [this] {
        if (state_.connectError()) {
            print("connect error: " + *state_.connectError());
        }
    });
    watchAccount();
    QObject::connect(state_.watchFolders(), &WatchFolderStore::lastErrorChanged, this, [this] {
        print("watch folder error: " + state_.watchFolders()->lastError().value_or(""));
    });
    QObject::connect(state_.watchFolders(), &WatchFolderStore::foldersChanged, this, [this] {
        std::string paths;
        for (const auto& folder : state_.watchFolders()->folders()) {
            paths += (paths.empty() ? "" : ", ") + folder.path;
        }
        print("watching: " + (paths.empty() ? "none" : paths));
    });
}

void HeadlessFrontEnd::execute(const QString& line) {
    const QStringList words = QProcess::splitCommand(line);
    if (words.isEmpty()) {
        return;
    }
    const QString command = words.front();
    if (command == "quit") {
        QCoreApplication::quit();
    } else if (command == "peers") {
        for (const auto& peer : state_.peers()) {
            print("peer " + peer.name + " " + peer.id);
        }
        print(std::to_string(state_.peers().size()) + " peers");
    } else if (command == "connect" && words.size() == 2) {
        const auto& peers = state_.peers();
        const auto peer = std::find_if(peers.begin(), peers.end(), [&](const DiscoveredPeer& candidate) {
            return candidate.name == words[1].toStdString();
        });
        if (peer == peers.end()) {
            print("no peer named " + words[1].toStdString());
        } else {
            state_.connect(*peer);
        }
    } else if (command == "send" && words.size() > 1) {
        std::vector<std::filesystem::path> files;
        for (qsizetype i = 1; i < words.size(); ++i) {
            files.emplace_back(words[i].toStdString());
        }
        state_.send(files);
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
        print("unknown command: " + line.toStdString() +
              " (peers, connect NAME, send PATH..., pair yes|no, watch add PATH, signin [cancel], signout, "
              "quit)");
    }
}

void HeadlessFrontEnd::readInput() {
    char buffer[4096];
    const ssize_t count = ::read(input_, buffer, sizeof buffer);
    if (count <= 0) {
        inputReady_.setEnabled(false);
        if (quitAtEndOfInput_) {
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
        print(account ? "account: " + account->email.value_or(account->userSub) + " in " + account->tenantSlug
                      : std::string("account: none"));
    });
    QObject::connect(&state_, &AppState::isSigningInChanged, this,
                     [this] { print(state_.isSigningIn() ? "signing in" : "sign-in ended"); });
    QObject::connect(&state_, &AppState::justSignedInChanged, this, [this] {
        if (state_.justSignedIn()) {
            print("signed in");
        }
    });
    QObject::connect(&state_, &AppState::signInErrorChanged, this, [this] {
        if (const auto& error = state_.signInError()) {
            print(std::string("sign-in error") +
                  (state_.signInErrorIsRecoverable() ? " (sign in again)" : "") + ": " + *error);
        }
    });
    QObject::connect(&state_, &AppState::registeredDeviceIdChanged, this,
                     [this] { print("registered: " + state_.registeredDeviceId().value_or("none")); });
}

void HeadlessFrontEnd::showAvailability() {
    const auto& availability = state_.availability();
    switch (availability.state) {
    case Availability::Case::starting:
        print("starting");
        break;
    case Availability::Case::ready:
        print("ready on port " + std::to_string(availability.port) + " as " + state_.deviceName());
        break;
    case Availability::Case::blocked:
        print("blocked: " + availability.message);
        break;
    }
}

void HeadlessFrontEnd::showPeers() {
    print("peers: " + joinedNames(state_.peers()));
}

void HeadlessFrontEnd::showConnected() {
    print("connected: " + joinedNames(state_.connectedDevices()));
}

void HeadlessFrontEnd::showPairing() {
    if (const auto& prompt = state_.pendingPairing()) {
        if (prompt->warning) {
            print("warning: " + *prompt->warning);
        }
        print("pair with " + prompt->peerName + "? code " + prompt->code + " (pair yes|no)");
        print("details: " + prompt->details);
    }
}

void HeadlessFrontEnd::showTransfers() {
    for (const auto& item : state_.transfers()) {
        const std::string shown = describe(item.state);
        auto& last = shownTransfers_[item.id];
        if (last != shown) {
            last = shown;
            print("transfer " + item.name + " to " + item.peerName + " " + shown);
        }
    }
}

void HeadlessFrontEnd::showReceived() {
    for (const auto& file : state_.received()) {
        if (shownReceived_.insert(file.path.string()).second) {
            print("received " + file.name + " " + std::to_string(file.byteCount) + " bytes into " +
                  file.path.parent_path().string());
        }
    }
}

void HeadlessFrontEnd::print(const std::string& line) {
    out_ << line << std::endl;
}

} // namespace tarnwick
