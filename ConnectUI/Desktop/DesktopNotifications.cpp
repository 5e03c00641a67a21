#include "ConnectUI/Desktop/DesktopNotifications.hpp"

#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Desktop/FileManager.hpp"

namespace tarnwick {
namespace {

using Notification = NotificationClient::Notification;

/// At most this many file names are listed in one notification.
constexpr std::size_t namesShown = 3;

QString text(const std::string& plain) {
    return QString::fromStdString(plain);
}

/// Bodies may be read as markup by the server; names come from the peer.
QString bodyText(const std::string& plain) {
    return text(plain).toHtmlEscaped();
}

Notification arrivalNotice(const std::string& sender, const std::vector<std::filesystem::path>& files) {
    const QString from = text(sender);
    if (files.size() == 1) {
        return {QString("Received %1 from %2").arg(text(files.front().filename().string()), from),
                {},
                {"default", "Open Tarnwick Connect", "open", "Open", "reveal", "Show in Folder"}};
    }
    QStringList names;
    for (std::size_t index = 0; index < files.size() && index < namesShown; ++index) {
        names << bodyText(files[index].filename().string());
    }
    QString body = names.join(", ");
    if (files.size() > namesShown) {
        body += QString(" and %1 more").arg(files.size() - namesShown);
    }
    // Opening several files at once is rarely wanted: the folder shows them all.
    return {QString("Received %1 files from %2").arg(files.size()).arg(from),
            body,
            {"default", "Open Tarnwick Connect", "reveal", "Show in Folder"}};
}

/// "123 456": two groups read more easily against the other screen.
QString groupedCode(const std::string& code) {
    const QString digits = text(code);
    return digits.size() == 6 ? digits.left(3) + " " + digits.mid(3) : digits;
}

} // namespace

DesktopNotifications::DesktopNotifications(AppState& state, QSettings& settings, QDBusConnection bus,
                                           OnScreen onScreen, QObject* parent)
    : QObject(parent),
      state_(state),
      settings_(settings),
      onScreen_(std::move(onScreen)),
      client_(std::move(bus)) {
    QObject::connect(&state_, &AppState::fileReceived, this, &DesktopNotifications::fileReceived);
    QObject::connect(&state_, &AppState::receiveRefused, this, &DesktopNotifications::receiveRefused);
    QObject::connect(&state_, &AppState::pendingPairingChanged, this, &DesktopNotifications::pairingChanged);
    QObject::connect(&state_, &AppState::transfersChanged, this, &DesktopNotifications::transfersChanged);
    QObject::connect(&client_, &NotificationClient::actionInvoked, this, &DesktopNotifications::act);
    QObject::connect(&client_, &NotificationClient::closed, this, &DesktopNotifications::forget);
}

bool DesktopNotifications::isEnabled(const QSettings& settings) {
    return settings.value(enabledKey, true).toBool();
}

bool DesktopNotifications::wants(Topic topic) const {
    return isEnabled(settings_) && !(onScreen_ && onScreen_(topic));
}

void DesktopNotifications::fileReceived(const ReceivedFile& file, const std::string& sender) {
    if (!wants(Topic::received)) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!arrivals_ || arrivals_->sender != sender || now - arrivals_->last > collapseWindow) {
        arrivals_ = Arrivals{sender, {}, now, ++nextGeneration_};
    }
    arrivals_->files.insert(arrivals_->files.begin(), file.path);
    arrivals_->last = now;
    showArrivals();
}

void DesktopNotifications::receiveRefused(const std::string& message) {
    if (wants(Topic::received)) {
        client_.notify({text(message), {}, {}}, 0, {});
    }
}

void DesktopNotifications::showArrivals() {
    if (arrivals_->waiting) {
        return; // the server's answer shows what arrived meanwhile
    }
    arrivals_->waiting = true;
    const auto files = arrivals_->files;
    const auto generation = arrivals_->generation;
    client_.notify(arrivalNotice(arrivals_->sender, files), arrivals_->id,
                   [this, files, generation](uint id) {
                       handlers_[id] = [this, files](const QString& key) {
                           if (key == "open") {
                               FileManager::open(files.front());
                           } else if (key == "reveal") {
                               FileManager::reveal(files.front());
                           } else if (key == "default") {
                               openWindow();
                           }
                       };
                       if (!arrivals_ || arrivals_->generation != generation) {
                           return;
                       }
                       arrivals_->id = id;
                       arrivals_->waiting = false;
                       if (arrivals_->files.size() != files.size()) {
                           showArrivals();
                       }
                   });
}

void DesktopNotifications::pairingChanged() {
    const auto& prompt = state_.pendingPairing();
    if (prompt && prompt->serial == pairingSerial_) {
        return;
    }
    // An answered, withdrawn or replaced prompt takes its notification with it.
    if (pairingID_ != 0) {
        client_.close(pairingID_);
        pairingID_ = 0;
    }
    pairingSerial_ = prompt ? prompt->serial : 0;
    if (!prompt || !wants(Topic::pairing)) {
        return;
    }
    const auto serial = prompt->serial;
    // A key-change warning leads, and Decline comes first: the safe answer is the easy one.
    const QString code = "Code " + groupedCode(prompt->code) + "\n" + text(prompt->details);
    const Notification notice{QString("Pair with %1?").arg(text(prompt->peerName)),
                              prompt->warning ? text(*prompt->warning) + "\n" + code : code,
                              prompt->warning ? QStringList{"decline", "Decline", "pair", "Pair"}
                                              : QStringList{"pair", "Pair", "decline", "Decline"},
                              true};
    client_.notify(notice, 0, [this, serial](uint id) {
        handlers_[id] = [this, serial](const QString& key) {
            if (key == "pair" || key == "decline") {
                answerPairing(serial, key == "pair");
            }
        };
        if (pairingSerial_ == serial) {
            pairingID_ = id;
        } else {
            client_.close(id); // answered before the server showed it
        }
    });
}

void DesktopNotifications::answerPairing(std::uint64_t serial, bool approve) {
    // Only the prompt this notification showed: a later prompt may carry another code.
    const auto& prompt = state_.pendingPairing();
    if (!prompt || prompt->serial != serial) {
        return;
    }
    if (approve) {
        state_.approvePendingPairing();
    } else {
        state_.rejectPendingPairing();
    }
}

void DesktopNotifications::transfersChanged() {
    std::set<std::string> failedNow;
    std::vector<const TransferItem*> newlyFailed;
    for (const auto& item : state_.transfers()) {
        if (item.state.state == TransferItem::State::Case::failed) {
            failedNow.insert(item.id);
            if (!failed_.contains(item.id)) {
                newlyFailed.push_back(&item);
            }
        }
    }
    failed_ = std::move(failedNow);
    if (newlyFailed.empty() || !wants(Topic::failedTransfers)) {
        return;
    }
    // A batch fails as a whole, with one reason, towards one device.
    const TransferItem& first = *newlyFailed.front();
    const QString what =
        newlyFailed.size() == 1 ? text(first.name) : QString("%1 files").arg(newlyFailed.size());
    client_.notify({QString("Couldn't send %1 to %2").arg(what, text(first.peerName)),
                    bodyText(first.state.message),
                    {"default", "Open Tarnwick Connect"}},
                   0, [this](uint id) {
                       handlers_[id] = [this](const QString& key) {
                           if (key == "default") {
                               openWindow();
                           }
                       };
                   });
}

void DesktopNotifications::openWindow() {
    if (state_.onOpenWindow) {
        state_.onOpenWindow("connect");
    }
}

void DesktopNotifications::act(uint id, const QString& key) {
    const auto handler = handlers_.find(id);
    if (handler != handlers_.end()) {
        const Handler handle = handler->second;
        handle(key);
    }
}

void DesktopNotifications::forget(uint id) {
    handlers_.erase(id);
    if (arrivals_ && arrivals_->id == id) {
        arrivals_.reset(); // the next file starts a fresh notification instead of reviving this one
    }
    if (pairingID_ == id) {
        pairingID_ = 0;
    }
}

} // namespace tarnwick
