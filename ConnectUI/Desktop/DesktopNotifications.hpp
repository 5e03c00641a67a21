#pragma once

#include "ConnectCore/Transfer/ReceivedFile.hpp"
#include "ConnectUI/Desktop/NotificationClient.hpp"

#include <QObject>
#include <QSettings>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarnwick {

class AppState;

/// Tells the user through the desktop's notifications what happened while they looked elsewhere: files
/// that arrived, a pairing code to confirm (answerable from the notification) and sends that failed. It
/// only observes the application state and calls its operations. Main thread only.
class DesktopNotifications : public QObject {
    Q_OBJECT

public:
    /// What a notification is about, for asking whether a focused window shows it already.
    enum class Topic { received, pairing, failedTransfers };
    using OnScreen = std::function<bool(Topic)>;

    /// The setting that turns notifications off; on when absent.
    static constexpr const char* enabledKey = "notificationsEnabled";
    /// Files from one device that arrive this close to each other (the files of one offer) share one
    /// notification.
    static constexpr auto collapseWindow = std::chrono::seconds(5);

    DesktopNotifications(AppState& state, QSettings& settings, QDBusConnection bus, OnScreen onScreen,
                         QObject* parent = nullptr);

    static bool isEnabled(const QSettings& settings);

private:
    /// Files of one device shown in one notification, replaced in place as more arrive.
    struct Arrivals {
        std::string sender;
        std::vector<std::filesystem::path> files;
        std::chrono::steady_clock::time_point last;
        std::uint64_t generation = 0;
        /// The server's id; 0 until it answered.
        uint id = 0;
        /// A notification of this group is on its way to the server.
        bool waiting = false;
    };
    using Handler = std::function<void(const QString& key)>;

    bool wants(Topic topic) const;
    void fileReceived(const ReceivedFile& file, const std::string& sender);
    void receiveRefused(const std::string& message);
    void showArrivals();
    void pairingChanged();
    void transfersChanged();
    void answerPairing(std::uint64_t serial, bool approve);
    void openWindow();
    void act(uint id, const QString& key);
    void forget(uint id);

    AppState& state_;
    QSettings& settings_;
    OnScreen onScreen_;
    NotificationClient client_;
    std::optional<Arrivals> arrivals_;
    std::uint64_t nextGeneration_ = 0;
    /// The prompt last seen, and its notification while one is shown.
    std::uint64_t pairingSerial_ = 0;
    uint pairingID_ = 0;
    /// Transfers already failed at the last look, so each failure is told once.
    std::set<std::string> failed_;
    /// What each shown notification's actions do.
    std::map<uint, Handler> handlers_;
};

} // namespace tarnwick
