#pragma once

#include "ConnectCore/Transfer/IncomingOffer.hpp"

#include <string>

namespace tarnwick {

/// An offer being received from a connected device, as the transfer list shows it.
struct IncomingTransfer {
    /// The sending device's key and name.
    std::string fingerprint;
    std::string peerName;
    IncomingOffer offer;

    /// Its key among the transfer rows: offer IDs are the sender's, so the sender is part of it.
    std::string id() const { return fingerprint + "/" + offer.offerID; }
    /// "photo.jpg", or "photo.jpg and 2 more".
    std::string title() const {
        return offer.fileCount > 1 ? offer.firstName + " and " + std::to_string(offer.fileCount - 1) + " more"
                                   : offer.firstName;
    }

    bool operator==(const IncomingTransfer&) const = default;
};

} // namespace tarnwick
