#pragma once

#include "ConnectUI/AppState/Availability.hpp"

#include <QString>

namespace tarnwick {

/// Whether this device takes connections, in a word or two: "Starting…", "Listening on port N" or
/// "Blocked" (the reason is shown beside it).
QString availabilityText(const Availability& availability);

} // namespace tarnwick
