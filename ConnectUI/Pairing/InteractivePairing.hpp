#pragma once

#include "ConnectCore/Session/TWCPPairingPolicy.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Async/QtExecutor.hpp"

#include <QPointer>

#include <string>

namespace tarnwick {

/// The pairing policy of every session the application runs: trust comes from the paired-device list and
/// a new peer's code is shown to the user through the application state. Each call hops to the main
/// thread; once the application state is gone, nobody is trusted and every code is refused.
class InteractivePairing : public TWCPPairingPolicy {
public:
    InteractivePairing(QtExecutor main, QPointer<AppState> state);

    asio::awaitable<bool> isPaired(std::string peerSPKISHA256) override;
    asio::awaitable<bool> confirmPairing(std::string code, std::string peerName,
                                         std::string peerSPKISHA256) override;
    /// The device identifier is not kept: trust belongs to the key.
    asio::awaitable<void> persistPairing(std::string peerSPKISHA256, std::string peerDeviceID,
                                         std::string peerName) override;

private:
    static asio::awaitable<bool> isPairedOnMain(QPointer<AppState> state, std::string fingerprint);
    static asio::awaitable<bool> confirmOnMain(QPointer<AppState> state, std::string code,
                                               std::string peerName, std::string fingerprint);
    static asio::awaitable<void> persistOnMain(QPointer<AppState> state, std::string fingerprint,
                                               std::string peerName);

    const QtExecutor main_;
    const QPointer<AppState> state_;
};

} // namespace tarnwick
