#pragma once

#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Terminal/EventReporter.hpp"

#include <QObject>

#include <chrono>

namespace tarnwick {

/// `tarnwick-connect devices`: browses for the given time once this device runs, then reports every
/// device DNS-SD sees (name, identifier, address, paired or not) and quits the application.
class DevicesCommand : public QObject {
    Q_OBJECT

public:
    DevicesCommand(AppState& state, std::chrono::milliseconds wait, EventReporter& reporter,
                   QObject* parent = nullptr);

private:
    void report();

    AppState& state_;
    EventReporter& reporter_;
};

} // namespace tarnwick
