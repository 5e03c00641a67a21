#include "ConnectUI/Presentation/AvailabilityText.hpp"

namespace tarnwick {

QString availabilityText(const Availability& availability) {
    switch (availability.state) {
    case Availability::Case::ready:
        return "Listening on port " + QString::number(availability.port);
    case Availability::Case::blocked:
        return "Blocked";
    case Availability::Case::starting:
        break;
    }
    return "Starting…";
}

} // namespace tarnwick
