#include "ConnectUI/App/DevicesCommand.hpp"

#include "ConnectUI/App/CommandLine.hpp"
#include "ConnectUI/Terminal/TerminalText.hpp"

#include <QCoreApplication>
#include <QTimer>

namespace tarnwick {

DevicesCommand::DevicesCommand(AppState& state, std::chrono::milliseconds wait, EventReporter& reporter,
                               QObject* parent)
    : QObject(parent),
      state_(state),
      reporter_(reporter) {
    QObject::connect(&state_, &AppState::availabilityChanged, this, [this, wait] {
        const auto& availability = state_.availability();
        if (availability.state == Availability::Case::ready) {
            QTimer::singleShot(wait, this, &DevicesCommand::report);
        } else if (availability.state == Availability::Case::blocked) {
            reporter_.event("failed", {{"message", availability.message}}, "failed: " + availability.message);
            QCoreApplication::exit(CommandLine::unreachable);
        }
    });
}

void DevicesCommand::report() {
    for (const auto& peer : state_.peers()) {
        const std::string address =
            DeviceAddress{peer.endpoint.address().to_string(), peer.endpoint.port()}.text();
        const bool paired = state_.paired().isPaired(peer.fingerprint);
        reporter_.event("device",
                        {{"name", peer.name}, {"id", peer.id}, {"address", address}, {"paired", paired}},
                        TerminalText::escaped(peer.name) + "  " + TerminalText::escaped(peer.id) + "  " +
                            address + (paired ? "  paired" : "  not paired"));
    }
    if (state_.peers().empty() && !reporter_.json()) {
        reporter_.event("none", {}, "no devices seen");
    }
    QCoreApplication::exit(0);
}

} // namespace tarnwick
