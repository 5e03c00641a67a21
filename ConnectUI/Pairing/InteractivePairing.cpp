#include "ConnectUI/Pairing/InteractivePairing.hpp"

#include <asio/co_spawn.hpp>
#include <asio/use_awaitable.hpp>

namespace tarnwick {

InteractivePairing::InteractivePairing(QtExecutor main, QPointer<AppState> state)
    : main_(main),
      state_(std::move(state)) {}

asio::awaitable<bool> InteractivePairing::isPaired(std::string peerSPKISHA256) {
    auto onMain = isPairedOnMain(state_, std::move(peerSPKISHA256));
    co_return co_await asio::co_spawn(main_, std::move(onMain), asio::use_awaitable);
}

asio::awaitable<bool> InteractivePairing::confirmPairing(std::string code, std::string peerName,
                                                         std::string peerSPKISHA256) {
    auto onMain = confirmOnMain(state_, std::move(code), std::move(peerName), std::move(peerSPKISHA256));
    co_return co_await asio::co_spawn(main_, std::move(onMain), asio::use_awaitable);
}

asio::awaitable<void> InteractivePairing::persistPairing(std::string peerSPKISHA256, std::string,
                                                         std::string peerName) {
    auto onMain = persistOnMain(state_, std::move(peerSPKISHA256), std::move(peerName));
    co_await asio::co_spawn(main_, std::move(onMain), asio::use_awaitable);
}

asio::awaitable<bool> InteractivePairing::isPairedOnMain(QPointer<AppState> state, std::string fingerprint) {
    co_return state && state->paired().isPaired(fingerprint);
}

asio::awaitable<bool> InteractivePairing::confirmOnMain(QPointer<AppState> state, std::string code,
                                                        std::string peerName, std::string fingerprint) {
    if (!state) {
        co_return false;
    }
    auto request =
        state->requestPairingConfirmation(std::move(code), std::move(peerName), std::move(fingerprint));
    co_return co_await std::move(request);
}

asio::awaitable<void> InteractivePairing::persistOnMain(QPointer<AppState> state, std::string fingerprint,
                                                        std::string peerName) {
    if (state) {
        state->paired().remember(fingerprint, peerName);
    }
    co_return;
}

} // namespace tarnwick
