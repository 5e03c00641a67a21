#include "ConnectCore/Device/DevicePairing.hpp"

#include <algorithm>

namespace tarnwick {

/// What one session asks, with the facts only its connection knows.
class DevicePairing::ConnectionPolicy : public TWCPPairingPolicy {
public:
    ConnectionPolicy(std::shared_ptr<DevicePairing> owner, std::string address, bool accepted)
        : owner_(std::move(owner)),
          address_(std::move(address)),
          accepted_(accepted) {}

    asio::awaitable<bool> isPaired(std::string peerSPKISHA256) override {
        co_return owner_->isPaired(peerSPKISHA256);
    }

    asio::awaitable<bool> confirmPairing(std::string code, std::string peerName, std::string peerSPKISHA256,
                                         std::string peerDeviceID) override {
        DeviceEvents::PairingRequested request{.code = std::move(code),
                                               .peerName = std::move(peerName),
                                               .fingerprint = std::move(peerSPKISHA256),
                                               .deviceID = std::move(peerDeviceID),
                                               .address = address_};
        auto confirming = owner_->confirm(std::move(request), accepted_);
        co_return co_await std::move(confirming);
    }

    asio::awaitable<void> persistPairing(std::string peerSPKISHA256, std::string peerDeviceID,
                                         std::string peerName, std::string commitment) override {
        owner_->remember({std::move(peerSPKISHA256), std::move(peerDeviceID), std::move(peerName)},
                         std::move(commitment));
        co_return;
    }

private:
    const std::shared_ptr<DevicePairing> owner_;
    const std::string address_;
    const bool accepted_;
};

DevicePairing::DevicePairing(asio::any_io_executor executor, std::vector<PairedPeer> paired, Publish publish,
                             std::chrono::steady_clock::duration promptInterval, Clock clock)
    : executor_(std::move(executor)),
      publish_(std::move(publish)),
      promptInterval_(promptInterval),
      clock_(std::move(clock)),
      paired_(std::move(paired)) {}

std::shared_ptr<TWCPPairingPolicy> DevicePairing::forConnection(std::string address, bool accepted) {
    return std::make_shared<ConnectionPolicy>(shared_from_this(), std::move(address), accepted);
}

bool DevicePairing::isPaired(const std::string& fingerprint) {
    std::lock_guard lock(mutex_);
    return std::any_of(paired_.begin(), paired_.end(),
                       [&](const PairedPeer& peer) { return peer.fingerprint == fingerprint; });
}

asio::awaitable<bool> DevicePairing::confirm(DeviceEvents::PairingRequested request, bool accepted) {
    const Completion<bool> answered(executor_);
    {
        std::lock_guard lock(mutex_);
        if (accepted && !mayPrompt(request.address)) {
            co_return false;
        }
        request.prompt = ++nextPrompt_;
        request.keyChanged = keyChanged(request);
        prompts_.emplace(request.prompt, answered);
    }
    const std::uint64_t prompt = request.prompt;
    publish_(std::move(request));
    bool confirmed = false;
    try {
        confirmed = co_await answered.wait();
    } catch (const std::exception&) {
        // The session gave up waiting (its handshake time ran out): the prompt has nobody to answer.
    }
    {
        std::lock_guard lock(mutex_);
        prompts_.erase(prompt);
    }
    publish_(DeviceEvents::PairingEnded{prompt});
    co_return confirmed;
}

void DevicePairing::remember(PairedPeer peer, std::string commitment) {
    {
        std::lock_guard lock(mutex_);
        if (std::none_of(paired_.begin(), paired_.end(),
                         [&](const PairedPeer& known) { return known.fingerprint == peer.fingerprint; })) {
            paired_.push_back(peer);
        }
    }
    publish_(DeviceEvents::Paired{std::move(peer.fingerprint), std::move(peer.deviceID), std::move(peer.name),
                                  std::move(commitment)});
}

bool DevicePairing::keyChanged(const DeviceEvents::PairingRequested& request) const {
    return std::any_of(paired_.begin(), paired_.end(), [&](const PairedPeer& known) {
        const bool sameDevice =
            (!known.deviceID.empty() && known.deviceID == request.deviceID) || known.name == request.peerName;
        return sameDevice && known.fingerprint != request.fingerprint;
    });
}

bool DevicePairing::mayPrompt(const std::string& address) {
    const auto now = clock_();
    std::erase_if(lastPrompt_, [&](const auto& entry) { return now - entry.second >= promptInterval_; });
    return lastPrompt_.emplace(address, now).second;
}

bool DevicePairing::answer(std::uint64_t prompt, bool confirmed) {
    std::lock_guard lock(mutex_);
    const auto waiting = prompts_.find(prompt);
    return waiting != prompts_.end() && waiting->second.resume(confirmed);
}

void DevicePairing::setPairedPeers(std::vector<PairedPeer> peers) {
    std::lock_guard lock(mutex_);
    paired_ = std::move(peers);
}

} // namespace tarnwick
