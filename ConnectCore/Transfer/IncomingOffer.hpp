#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnwick {

/// How far an accepted offer has got on the receiving side.
struct IncomingOffer {
    std::string offerID;
    std::size_t fileCount = 0;
    /// The name of the offer's first file, for a front end to show.
    std::string firstName;
    /// Bytes held so far, those of resumed partial files included.
    std::uint64_t receivedBytes = 0;
    std::uint64_t totalBytes = 0;
    /// Each file arrived, failed or was given up: nothing more comes of the offer.
    bool ended = false;

    double fraction() const {
        return totalBytes == 0 ? 1.0 : static_cast<double>(receivedBytes) / static_cast<double>(totalBytes);
    }
    bool operator==(const IncomingOffer&) const = default;
};

} // namespace tarnwick
