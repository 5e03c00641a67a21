#pragma once

#include "ConnectCore/Async/Completion.hpp"
#include "ConnectCore/Device/DeviceEvent.hpp"
#include "ConnectCore/Device/PairedPeer.hpp"
#include "ConnectCore/Session/TWCPPairingPolicy.hpp"

#include <asio/any_io_executor.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tarnwick {

/// The trust of every session a device runs: trusted keys are the front end's paired list, and a new
/// peer's code becomes a `PairingRequested` event that waits for `answer`. Each connection asks through
/// its own policy (`forConnection`), which knows where the peer connected from. Safe from any thread.
class DevicePairing : public std::enable_shared_from_this<DevicePairing> {
public:
    using Publish = std::function<void(DeviceEvent)>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    /// A peer that opened a connection gets at most one prompt per address this often; more attempts are
    /// refused unseen, so a stranger cannot bury the user's own device under prompts.
    static constexpr std::chrono::seconds defaultPromptInterval{10};

    DevicePairing(asio::any_io_executor executor, std::vector<PairedPeer> paired, Publish publish,
                  std::chrono::steady_clock::duration promptInterval = defaultPromptInterval,
                  Clock clock = std::chrono::steady_clock::now);

    /// The pairing policy of one session with the peer at `address`; `accepted` when the peer opened the
    /// connection (a dial is the user's own request and is never held back). Must be owned by a shared_ptr.
    std::shared_ptr<TWCPPairingPolicy> forConnection(std::string address, bool accepted);

    /// Answers one prompt; false when it is no longer waiting.
    bool answer(std::uint64_t prompt, bool confirmed);
    /// Replaces the trusted devices, when the user forgot one.
    void setPairedPeers(std::vector<PairedPeer> peers);

private:
    class ConnectionPolicy;

    bool isPaired(const std::string& fingerprint);
    /// Publishes the prompt and waits for its answer; a wait cancelled because the session gave up answers
    /// no, and a prompt held back by the prompt interval answers no at once.
    asio::awaitable<bool> confirm(DeviceEvents::PairingRequested request, bool accepted);
    void remember(PairedPeer peer, std::string commitment);
    /// Whether a device paired under this identifier or name had another key.
    bool keyChanged(const DeviceEvents::PairingRequested& request) const;
    /// Records a prompt for `address` unless one was shown within the prompt interval.
    bool mayPrompt(const std::string& address);

    const asio::any_io_executor executor_;
    const Publish publish_;
    const std::chrono::steady_clock::duration promptInterval_;
    const Clock clock_;
    std::mutex mutex_;
    std::vector<PairedPeer> paired_;
    std::map<std::uint64_t, Completion<bool>> prompts_;
    std::uint64_t nextPrompt_ = 0;
    /// When each address last got a prompt; entries older than the interval are dropped.
    std::map<std::string, std::chrono::steady_clock::time_point> lastPrompt_;
};

} // namespace tarnwick
