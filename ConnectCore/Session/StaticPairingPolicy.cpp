#include "ConnectCore/Session/StaticPairingPolicy.hpp"

namespace tarnwick {

StaticPairingPolicy::StaticPairingPolicy(const asio::any_io_executor& executor, std::set<std::string> paired,
                                         bool answer)
    : Actor(executor),
      paired_(std::move(paired)),
      answer_(answer) {}

asio::awaitable<bool> StaticPairingPolicy::isPaired(std::string peerSPKISHA256) {
    return enter(isPairedOnStrand(std::move(peerSPKISHA256)));
}

asio::awaitable<bool> StaticPairingPolicy::confirmPairing(std::string code, std::string, std::string,
                                                          std::string) {
    return enter(confirmOnStrand(std::move(code)));
}

asio::awaitable<void> StaticPairingPolicy::persistPairing(std::string peerSPKISHA256, std::string,
                                                          std::string, std::string) {
    return enter(persistOnStrand(std::move(peerSPKISHA256)));
}

asio::awaitable<std::optional<std::string>> StaticPairingPolicy::lastCode() {
    return readOnStrand(lastCode_);
}
asio::awaitable<int> StaticPairingPolicy::confirmationCount() {
    return readOnStrand(confirmationCount_);
}

asio::awaitable<bool> StaticPairingPolicy::isPairedOnStrand(std::string peerSPKISHA256) {
    co_return paired_.contains(peerSPKISHA256);
}

asio::awaitable<bool> StaticPairingPolicy::confirmOnStrand(std::string code) {
    lastCode_ = std::move(code);
    confirmationCount_ += 1;
    co_return answer_;
}

asio::awaitable<void> StaticPairingPolicy::persistOnStrand(std::string peerSPKISHA256) {
    paired_.insert(std::move(peerSPKISHA256));
    co_return;
}

} // namespace tarnwick
