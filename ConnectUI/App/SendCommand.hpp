#pragma once

#include "ConnectUI/App/CommandLine.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Terminal/EventReporter.hpp"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <ostream>
#include <set>
#include <string>

namespace tarnwick {

/// `tarnwick-connect send`: finds one device (by its DNS-SD name, or dialled at an address), pairs when
/// needed with the user's answer read from standard input, sends the files as one batch and quits the
/// application with `CommandLine`'s status for the outcome.
class SendCommand : public QObject {
    Q_OBJECT

public:
    /// How long a device named with `--to` may take to show up.
    static constexpr std::chrono::seconds lookupTimeout{10};

    /// The question about a code goes to `prompts`, the answer is read from `input`.
    SendCommand(AppState& state, const CommandLine::Options& options, EventReporter& reporter,
                std::ostream& prompts, int input, QObject* parent = nullptr);

private:
    void accountLoaded();
    void dialNamedPeer();
    void deviceConnected();
    void askPairing();
    void readAnswer();
    void showTransfers();
    /// Reports the failure and ends the application with `status`, once.
    void fail(int status, const std::string& message);
    void finish(int status);

    AppState& state_;
    const CommandLine::Options& options_;
    EventReporter& reporter_;
    std::ostream& prompts_;
    QSocketNotifier inputReady_;
    const int input_;
    QTimer lookup_;
    bool dialed_ = false;
    bool sending_ = false;
    bool finished_ = false;
    /// The prompt the answer being read is for.
    std::optional<std::uint64_t> asked_;
    QByteArray answer_;
    /// The items of this send, and those that reached their outcome.
    std::set<std::string> items_;
    std::set<std::string> ended_;
    bool anyFailed_ = false;
};

} // namespace tarnwick
