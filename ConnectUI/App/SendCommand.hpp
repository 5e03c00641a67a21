#pragma once

#include "ConnectUI/App/CommandLine.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Terminal/EventReporter.hpp"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>

namespace tarnwick {

/// One `send`: finds the device (connected already, seen by DNS-SD under its name, or dialled at an
/// address), pairs when needed, sends the files as one batch and reports `finished` with `CommandLine`'s
/// status for the outcome. It runs in the command's own instance or in the running one it was handed to.
class SendCommand : public QObject {
    Q_OBJECT

public:
    /// How long a device named with `--to` may take to show up.
    static constexpr std::chrono::seconds lookupTimeout{10};

    /// Where a first code is asked: the question goes to `out`, the answer comes from `input`.
    struct Question {
        std::ostream& out;
        int input;
    };

    /// Without a `question`, the instance's own front end asks for codes, as the running one does.
    SendCommand(AppState& state, CommandLine::Options options, EventReporter& reporter,
                std::optional<Question> question, QObject* parent = nullptr);

    /// Starts once this instance runs with its account.
    void begin();

Q_SIGNALS:
    void finished(int status);

private:
    bool sendToConnected();
    bool isTheDevice(const ConnectedDevice& device) const;
    void dialNamedPeer();
    void deviceConnected();
    void sendTo(const ConnectedDevice& device);
    void askPairing();
    void readAnswer();
    void showTransfers();
    /// Reports the failure and finishes with `status`, once.
    void fail(int status, const std::string& message);
    void finish(int status);

    AppState& state_;
    const CommandLine::Options options_;
    EventReporter& reporter_;
    std::optional<Question> question_;
    std::unique_ptr<QSocketNotifier> answerReady_;
    QTimer lookup_;
    bool dialed_ = false;
    /// The identifier DNS-SD showed for the device named with `--to`, once it is dialled.
    std::optional<std::string> dialedPeerID_;
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
