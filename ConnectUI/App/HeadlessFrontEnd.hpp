#pragma once

#include "ConnectUI/AppState/AppState.hpp"

#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <map>
#include <ostream>
#include <set>
#include <string>

namespace tarnwick {

/// The application without a window: it prints one line for each change a user would see and turns
/// lines of standard input into the application state's operations. It renders and calls, nothing more.
///   peers · connect NAME · send PATH… · pair yes|no · watch add PATH · signin [cancel] · signout · quit
/// End of input quits, as `quit` does.
class HeadlessFrontEnd : public QObject {
    Q_OBJECT

public:
    /// With `quitAtEndOfInput`, the end of standard input ends the application; without, only a signal does.
    HeadlessFrontEnd(AppState& state, std::ostream& out, int input, bool quitAtEndOfInput = true,
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
    void showPairing();
    void showTransfers();
    void showReceived();
    void print(const std::string& line);

    AppState& state_;
    std::ostream& out_;
    QSocketNotifier inputReady_;
    const int input_;
    const bool quitAtEndOfInput_;
    QByteArray pending_;
    /// What was last printed per transfer item, so progress prints only when it shows differently.
    std::map<std::string, std::string> shownTransfers_;
    std::set<std::string> shownReceived_;
};

} // namespace tarnwick
