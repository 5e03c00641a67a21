#pragma once

#include <string>

namespace tarnwick {

/// The connect pane's headline and subtitle: what the user should do next, from the first situation
/// that applies.
struct ConnectHeadline {
    /// What the texts depend on.
    struct Situation {
        bool isSigningIn = false;
        bool justSignedIn = false;
        bool signedIn = false;
        std::size_t connectedDevices = 0;
        std::size_t discoveredPeers = 0;
        /// Files are being dragged over the pane.
        bool isTargeted = false;
    };

    std::string headline;
    std::string subtitle;

    static ConnectHeadline of(const Situation& situation);

    bool operator==(const ConnectHeadline&) const = default;
};

} // namespace tarnwick
