// The registry check of a first contact. The six digits alone do not stop a relay in the middle: it can
// search for nonces that make both screens agree. When both devices belong to the account, each submits its
// commitment to the handshake it saw; a relay ran two handshakes, so the registry finds two values.
#include "ConnectCore/Account/APIError.hpp"
#include "ConnectCore/Async/Race.hpp"
#include "ConnectUI/AppState/AppState.hpp"

#include <QPointer>
#include <asio/co_spawn.hpp>
#include <asio/use_awaitable.hpp>

#include <algorithm>

namespace tarnwick {
namespace {

constexpr const char* activeState = "active";
constexpr const char* mismatchState = "mismatch";

// A relay shows its own key under the identifier of the device it stands in for, so either one registered
// makes the peer a device of the account.
asio::awaitable<bool> isOnAccount(std::shared_ptr<ConnectAPI> api, std::string deviceID,
                                  std::string fingerprint) {
    auto listing = api->listDevices();
    const auto devices = co_await std::move(listing);
    co_return std::ranges::any_of(devices, [&](const RegisteredDevice& device) {
        return device.deviceId == deviceID || device.spkiSHA256 == fingerprint;
    });
}

// The registry keeps one commitment per side: what an earlier pairing of the two left there would answer
// for this one. Nothing to clear is no failure.
asio::awaitable<void> clearEarlierPairing(std::shared_ptr<ConnectAPI> api, std::string deviceID,
                                          std::string peerID) {
    try {
        auto revoking = api->revokePairing(std::move(deviceID), std::move(peerID));
        co_await std::move(revoking);
    } catch (const APIError& failure) {
        if (failure.status() != 404) {
            throw;
        }
    }
}

// Submitting again is harmless, and it puts back a commitment the peer's clearing removed.
asio::awaitable<std::string> submit(std::shared_ptr<ConnectAPI> api, std::string deviceID, std::string peerID,
                                    std::string commitment) {
    auto submitting = api->submitPairing(std::move(deviceID), std::move(peerID), std::move(commitment));
    co_return co_await std::move(submitting);
}

} // namespace

asio::awaitable<void> AppState::checkPairing(DeviceEvents::Paired paired) {
    if (!registeredDeviceId_) {
        co_return;
    }
    const std::string own = *registeredDeviceId_;
    QPointer<AppState> guard(this);
    try {
        auto asking = asio::co_spawn(setup_.engine, isOnAccount(api_, paired.deviceID, paired.fingerprint),
                                     asio::use_awaitable);
        const bool onAccount = co_await std::move(asking);
        if (!guard || !onAccount) {
            co_return;
        }
        auto clearing = asio::co_spawn(setup_.engine, clearEarlierPairing(api_, own, paired.deviceID),
                                       asio::use_awaitable);
        co_await std::move(clearing);
    } catch (const std::exception& failure) {
        diagnostic("pairing check of " + paired.name + " failed, the pairing stays: " + failure.what());
        co_return;
    }
    if (!guard) {
        co_return;
    }
    auto polling = pollPairing(own, paired);
    const std::string state = co_await std::move(polling);
    if (!guard) {
        co_return;
    }
    if (state == activeState) {
        markVerified(paired.fingerprint);
    } else if (state == mismatchState) {
        removeUnverified(paired);
    } else {
        diagnostic("pairing check of " + paired.name + " ended without a verdict (" + state +
                   "), the pairing stays");
    }
}

asio::awaitable<std::string> AppState::pollPairing(std::string ownID, DeviceEvents::Paired paired) {
    QPointer<AppState> guard(this);
    const auto until = std::chrono::steady_clock::now() + pairingCheckTime;
    std::string state = "no answer";
    while (true) {
        try {
            auto submitting = asio::co_spawn(
                setup_.engine, submit(api_, ownID, paired.deviceID, paired.commitment), asio::use_awaitable);
            state = co_await std::move(submitting);
        } catch (const std::exception& failure) {
            // The network or the registry failing is no verdict: only "mismatch" removes a pairing.
            diagnostic("pairing check of " + paired.name +
                       ": no answer from the registry, asking again: " + failure.what());
        }
        if (!guard || state == activeState || state == mismatchState ||
            std::chrono::steady_clock::now() + pairingCheckInterval > until) {
            co_return state;
        }
        auto pause = asio::co_spawn(setup_.engine, sleepFor(pairingCheckInterval), asio::use_awaitable);
        co_await std::move(pause);
        if (!guard) {
            co_return state;
        }
    }
}

void AppState::markVerified(const std::string& fingerprint) {
    verified_.insert(fingerprint);
    const auto device = std::ranges::find(connectedDevices_, fingerprint, &ConnectedDevice::fingerprint);
    if (device != connectedDevices_.end() && !device->verified) {
        device->verified = true;
        Q_EMIT connectedDevicesChanged();
    }
}

void AppState::removeUnverified(const DeviceEvents::Paired& paired) {
    diagnostic("pairing check of " + paired.name + ": the two devices saw different handshakes");
    const auto& devices = paired_->devices();
    const auto entry = std::ranges::find(devices, paired.fingerprint, &PairedDevice::fingerprint);
    if (entry != devices.end()) {
        paired_->forget(*entry);
    }
    if (device_) {
        device_->disconnect(paired.fingerprint);
    }
    assign(connectError_,
           std::optional("The pairing with " + paired.name + " could not be verified and was removed."),
           &AppState::connectErrorChanged);
}

} // namespace tarnwick
