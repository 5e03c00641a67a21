#include "ConnectCore/Device/DevicePairing.hpp"

namespace tarnwick {

DevicePairing::DevicePairing(asio::any_io_executor executor, std::set<std::string> pairedKeys,
                             Publish publish)
    : executor_(std::move(executor)),
      publish_(std::move(publish)),
      pairedKeys_(std::move(pairedKeys)) {}

asio::awaitable<bool> DevicePairing::isPaired(std::string peerSPKISHA256) {
    std::lock_guard lock(mutex_);
    co_return pairedKeys_.contains(peerSPKISHA256);
}

asio::awaitable<bool> DevicePairing::confirmPairing(std::string code, std::string peerName,
                                                    std::string peerSPKISHA256) {
    const Completion<bool> answered(executor_);
    std::uint64_t prompt = 0;
    {
        std::lock_guard lock(mutex_);
        prompt = ++nextPrompt_;
        prompts_.emplace(prompt, answered);
    }
    publish_(DeviceEvents::PairingRequested{prompt, std::move(code), std::move(peerName),
                                            std::move(peerSPKISHA256)});
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

asio::awaitable<void> DevicePairing::persistPairing(std::string peerSPKISHA256, std::string peerDeviceID,
                                                    std::string peerName) {
    {
        std::lock_guard lock(mutex_);
        pairedKeys_.insert(peerSPKISHA256);
    }
    publish_(DeviceEvents::Paired{std::move(peerSPKISHA256), std::move(peerDeviceID), std::move(peerName)});
    co_return;
}

bool DevicePairing::answer(std::uint64_t prompt, bool confirmed) {
    std::lock_guard lock(mutex_);
    const auto waiting = prompts_.find(prompt);
    return waiting != prompts_.end() && waiting->second.resume(confirmed);
}

void DevicePairing::setPairedKeys(std::set<std::string> keys) {
    std::lock_guard lock(mutex_);
    pairedKeys_ = std::move(keys);
}

} // namespace tarnwick
