#pragma once

#include <asio/awaitable.hpp>

#include <string>

namespace tarnwick {

/// Who is already trusted, and how the user confirms a new peer. Arguments are taken by value because
/// the operations suspend.
class TWCPPairingPolicy {
public:
    virtual ~TWCPPairingPolicy() = default;

    virtual asio::awaitable<bool> isPaired(std::string peerSPKISHA256) = 0;
    /// Shows the six-digit code and the peer's name and waits for the user; true means confirmed.
    /// Should return false promptly when cancelled. The identifier is the one the peer announced.
    virtual asio::awaitable<bool> confirmPairing(std::string code, std::string peerName,
                                                 std::string peerSPKISHA256, std::string peerDeviceID) = 0;
    /// Remembers a peer whose code was confirmed and whose signature verified. `commitment` is this side's
    /// pairing commitment to the transcript it saw, equal on both sides unless something relayed the
    /// handshake; a registry of the account can compare the two.
    virtual asio::awaitable<void> persistPairing(std::string peerSPKISHA256, std::string peerDeviceID,
                                                 std::string peerName, std::string commitment) = 0;
};

} // namespace tarnwick
