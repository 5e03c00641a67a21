#pragma once

#include "ConnectUI/App/CommandLine.hpp"

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <optional>
#include <ostream>

namespace tarnwick {

class AppState;

/// Hands a `send` to the instance already running with the profile, so that two instances never work on
/// one profile: the job goes over a local socket beside the sign-in hand-off's, the running instance sends
/// with its own connections, and what it reports comes back to the command's standard output, its
/// outcome as the command's exit status. Both ends talk to this user's processes only.
class SendHandOver : public QObject {
    Q_OBJECT

public:
    /// Serves jobs with `state`, the running instance's application state.
    explicit SendHandOver(AppState& state, QObject* parent = nullptr);

    /// The job socket of the instance whose sign-in hand-off listens on `handOffName`.
    static QString serverName(const QString& handOffName);
    /// Runs the job in the instance listening on `name` and copies its output to `out`; the exit status,
    /// or none when no instance of this user listens there.
    static std::optional<int> handOver(const QString& name, const CommandLine::Options& options,
                                       std::ostream& out);

    /// Takes jobs on `name` from now on; false when another instance listens there.
    bool listen(const QString& name);

private:
    void accept();

    AppState& state_;
    QLocalServer server_;
};

} // namespace tarnwick
