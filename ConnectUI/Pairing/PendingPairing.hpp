#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarnwick {

/// The pairing code on screen, waiting for the user's answer.
struct PendingPairing {
    /// The six-digit code exactly as the session computed it.
    std::string code;
    /// The name the peer announced.
    std::string peerName;
    /// The peer's SPKI fingerprint.
    std::string fingerprint;
    /// The start of the fingerprint and where the peer connected from, to tell two prompts apart.
    std::string details;
    /// Said when a device paired under this name or identifier presents another key; the prompt then
    /// defaults to declining.
    std::optional<std::string> warning;
    /// Answers the prompt, on the main thread; only the first answer counts.
    std::function<void(bool)> decide;
    /// Tells prompts with the same texts apart.
    std::uint64_t serial = 0;

    bool operator==(const PendingPairing& other) const {
        return serial == other.serial && code == other.code && peerName == other.peerName &&
               fingerprint == other.fingerprint && details == other.details && warning == other.warning;
    }
};

} // namespace tarnwick
