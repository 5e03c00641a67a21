#pragma once

#include "ConnectUI/App/CommandLine.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Terminal/EventReporter.hpp"

#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <map>
#include <set>
#include <string>

namespace tarnwick {

/// The application without a window: it reports each change a user would see and turns lines of standard
/// input into the application state's operations. It renders and calls, nothing more.
///   peers · connect NAME|HOST:PORT · send [--to NAME] PATH… · cancel · retry · pair yes|no ·
///   watch add PATH · signin [cancel] · signout · quit
/// While a pairing code waits, "y" or "n" answers it too.
class HeadlessFrontEnd : public QObject {
    Q_OBJECT

public:
    struct Behaviour {
        /// The end of standard input ends the application; without, only a signal does (`receive`).
        bool quitAtEndOfInput = true;
        /// `never` refuses every first pairing as soon as it is asked.
        CommandLine::PairingAnswer pairing = CommandLine::PairingAnswer::ask;
    };

    HeadlessFrontEnd(AppState& state, EventReporter& reporter, int input, Behaviour behaviour,
                     QObject* parent = nullptr);

    /// Runs one command line; unknown commands are answered with a line.
    void execute(const QString& line);

private:
    void readInput();
    void watch();
    void watchAccount();
    void showAvailability();
    void showPeers();
    void showConnected();
    /// Announces each connected device once the registry has verified its pairing.
    void showVerified();
    void showPairing();
    void showTransfers();
    void showReceived(const ReceivedFile& file, const std::string& sender);
    void showIncoming();
    void connectTo(const std::string& nameOrAddress);
    void send(const QStringList& words);

    AppState& state_;
    EventReporter& reporter_;
    QSocketNotifier inputReady_;
    const int input_;
    const Behaviour behaviour_;
    QByteArray pending_;
    /// What was last shown per transfer item, so progress shows only when it reads differently.
    std::map<std::string, std::string> shownTransfers_;
    /// The offers being received that were announced.
    std::set<std::string> shownIncoming_;
    /// The connected devices' names by identifier, as JSON last told them.
    std::map<std::string, std::string> shownConnected_;
    /// Keys of the devices the registry verified that were announced as such.
    std::set<std::string> shownVerified_;
};

} // namespace tarnwick
