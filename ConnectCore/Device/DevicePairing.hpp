#pragma once

#include "ConnectCore/Async/Completion.hpp"
#include "ConnectCore/Device/DeviceEvent.hpp"
#include "ConnectCore/Session/TWCPPairingPolicy.hpp"

#include <asio/any_io_executor.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace tarnwick {

/// The pairing policy of every session a device runs: trusted keys are the front end's paired list, and a
/// new peer's code becomes a `PairingRequested` event that waits for `answer`. Safe from any thread.
class DevicePairing : public TWCPPairingPolicy {
public:
    using Publish = std::function<void(DeviceEvent)>;

    DevicePairing(asio::any_io_executor executor, std::set<std::string> pairedKeys, Publish publish);

    asio::awaitable<bool> isPaired(std::string peerSPKISHA256) override;
    /// Waits for the answer to its prompt; a wait cancelled because the session gave up answers no.
    asio::awaitable<bool> confirmPairing(std::string code, std::string peerName,
                                         std::string peerSPKISHA256) override;
    asio::awaitable<void> persistPairing(std::string peerSPKISHA256, std::string peerDeviceID,
                                         std::string peerName) override;

    /// Answers one prompt; false when it is no longer waiting.
    bool answer(std::uint64_t prompt, bool confirmed);
    /// Replaces the trusted keys, when the user forgot a device.
    void setPairedKeys(std::set<std::string> keys);

private:
    const asio::any_io_executor executor_;
    const Publish publish_;
    std::mutex mutex_;
    std::set<std::string> pairedKeys_;
    std::map<std::uint64_t, Completion<bool>> prompts_;
    std::uint64_t nextPrompt_ = 0;
};

} // namespace tarnwick
