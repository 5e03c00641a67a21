#pragma once

#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Session/TWCPPairingPolicy.hpp"

#include <optional>
#include <set>

namespace tarnwick {

/// A pairing policy with a fixed set of trusted peers and a fixed answer to every confirmation, which
/// records what it was asked: sessions inside one process pair without a user.
class StaticPairingPolicy : public TWCPPairingPolicy, public Actor {
public:
    StaticPairingPolicy(const asio::any_io_executor& executor, std::set<std::string> paired, bool answer);

    asio::awaitable<bool> isPaired(std::string peerSPKISHA256) override;
    asio::awaitable<bool> confirmPairing(std::string code, std::string peerName, std::string peerSPKISHA256,
                                         std::string peerDeviceID) override;
    asio::awaitable<void> persistPairing(std::string peerSPKISHA256, std::string peerDeviceID,
                                         std::string peerName, std::string commitment) override;

    /// The code of the latest confirmation request.
    asio::awaitable<std::optional<std::string>> lastCode();
    asio::awaitable<int> confirmationCount();

private:
    asio::awaitable<bool> isPairedOnStrand(std::string peerSPKISHA256);
    asio::awaitable<bool> confirmOnStrand(std::string code);
    asio::awaitable<void> persistOnStrand(std::string peerSPKISHA256);

    std::set<std::string> paired_;
    const bool answer_;
    std::optional<std::string> lastCode_;
    int confirmationCount_ = 0;
};

} // namespace tarnwick
