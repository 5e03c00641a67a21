// The account: loading it at start, finishing a browser sign-in, registering this device, signing out, and
// the registry check of a first contact. The six digits alone do not stop a relay in the middle: it can
// search for nonces that make both screens agree. When both devices belong to the account, each submits its
// commitment to the handshake it saw; a relay ran two handshakes, so the registry finds two values.
#include "ConnectCore/Account/APIError.hpp"
#include "ConnectCore/Account/AuthStore.hpp"
#include "ConnectCore/Account/ConnectAPI.hpp"
#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Device/ConnectDevice.hpp"
#include "ConnectCore/Host/HostFacts.hpp"
#include "ConnectCore/Identity/DeviceTWCPIdentity.hpp"

#include <algorithm>

namespace tarnwick {
namespace {

constexpr const char* activeState = "active";
constexpr const char* mismatchState = "mismatch";

// A relay shows its own key under the identifier of the device it stands in for, so either one registered
// makes the peer a device of the account.
asio::awaitable<bool> isOnAccount(ConnectAPI& api, const std::string& deviceID,
                                  const std::string& fingerprint) {
    auto listing = api.listDevices();
    const auto devices = co_await std::move(listing);
    co_return std::ranges::any_of(devices, [&](const RegisteredDevice& device) {
        return device.deviceId == deviceID || device.spkiSHA256 == fingerprint;
    });
}

// The registry keeps one commitment per side: what an earlier pairing of the two left there would answer
// for this one. Nothing to clear is no failure.
asio::awaitable<void> clearEarlierPairing(ConnectAPI& api, const std::string& deviceID,
                                          const std::string& peerID) {
    try {
        auto revoking = api.revokePairing(deviceID, peerID);
        co_await std::move(revoking);
    } catch (const APIError& failure) {
        if (failure.status() != 404) {
            throw;
        }
    }
}

} // namespace

std::string ConnectDevice::signInPage(const AuthorizationRequest& request) const {
    return auth_ ? auth_->authorizationURL(request) : std::string();
}

void ConnectDevice::signIn(std::string returnAddress, AuthorizationRequest request) {
    onStrand([returnAddress = std::move(returnAddress), request = std::move(request)](ConnectDevice& self) {
        if (self.auth_) {
            self.spawn(self.finishSignIn(returnAddress, request), "sign-in");
        }
    });
}

void ConnectDevice::signOut() {
    onStrand([](ConnectDevice& self) {
        if (self.auth_) {
            self.spawn(self.forgetAccount(), "sign-out");
        }
    });
}

asio::awaitable<void> ConnectDevice::loadAccount() {
    std::optional<AuthSession> session;
    try {
        auto loading = auth_->currentSession();
        session = co_await std::move(loading);
    } catch (const std::exception& error) {
        // An unreadable key store is a signed-out account, not a start that never ends.
        diagnostic(std::string("could not read the stored account: ") + error.what());
    }
    publish(DeviceEvents::AccountLoaded{session});
    if (session) {
        co_await registerDevice();
    }
}

asio::awaitable<void> ConnectDevice::finishSignIn(std::string returnAddress, AuthorizationRequest request) {
    std::optional<AuthSession> session;
    try {
        auto finishing = auth_->finishSignIn(std::move(returnAddress), std::move(request));
        session = co_await std::move(finishing);
    } catch (const std::exception&) {
        publish(DeviceEvents::SignInFailed{std::current_exception()});
        co_return;
    }
    publish(DeviceEvents::SignedIn{*session});
    co_await registerDevice();
}

asio::awaitable<void> ConnectDevice::forgetAccount() {
    auto forgetting = auth_->signOut();
    co_await std::move(forgetting);
    registeredID_.reset();
    publish(DeviceEvents::SignedOut{});
}

asio::awaitable<void> ConnectDevice::registerDevice() {
    // Before the identity is loaded, the account's load at start registers this device.
    if (!identity_) {
        co_return;
    }
    const DeviceIdentity& identity = identity_->identity();
    try {
        auto registering =
            api_->registerDevice(identity.deviceID(), setup_.deviceName, "macos", identity.spkiDER(),
                                 HostFacts::osVersion(), setup_.appVersion);
        const RegisteredDevice device = co_await std::move(registering);
        registeredID_ = device.deviceId;
        publish(DeviceEvents::Registered{device.deviceId});
    } catch (const std::exception& error) {
        diagnostic(std::string("registration failed: ") + error.what());
        publish(DeviceEvents::RegistrationFailed{std::current_exception()});
    }
}

void ConnectDevice::publishPairing(DeviceEvent event) {
    if (const auto* paired = std::get_if<DeviceEvents::Paired>(&event)) {
        onStrand([paired = *paired](ConnectDevice& self) {
            if (self.api_ && self.registeredID_) {
                self.spawn(self.checkPairing(paired), "pairing check");
            }
        });
    }
    publish(std::move(event));
}

asio::awaitable<void> ConnectDevice::checkPairing(DeviceEvents::Paired paired) {
    const std::string own = *registeredID_;
    try {
        auto asking = isOnAccount(*api_, paired.deviceID, paired.fingerprint);
        if (!co_await std::move(asking)) {
            co_return;
        }
        auto clearing = clearEarlierPairing(*api_, own, paired.deviceID);
        co_await std::move(clearing);
    } catch (const std::exception& failure) {
        diagnostic("pairing check of " + paired.name + " failed, the pairing stays: " + failure.what());
        co_return;
    }
    auto polling = pollPairing(own, paired);
    const std::string state = co_await std::move(polling);
    if (state == activeState) {
        publish(DeviceEvents::PairingVerified{paired.fingerprint});
    } else if (state == mismatchState) {
        diagnostic("pairing check of " + paired.name + ": the two devices saw different handshakes");
        disconnect(paired.fingerprint);
        publish(DeviceEvents::PairingRefuted{paired.fingerprint, paired.name});
    } else {
        diagnostic("pairing check of " + paired.name + " ended without a verdict (" + state +
                   "), the pairing stays");
    }
}

// Submitting again is harmless, and it puts back a commitment the peer's clearing removed.
asio::awaitable<std::string> ConnectDevice::pollPairing(std::string ownID, DeviceEvents::Paired paired) {
    const auto until = std::chrono::steady_clock::now() + pairingCheckTime;
    std::string state = "no answer";
    while (true) {
        try {
            auto submitting = api_->submitPairing(ownID, paired.deviceID, paired.commitment);
            state = co_await std::move(submitting);
        } catch (const std::exception& failure) {
            // The network or the registry failing is no verdict: only "mismatch" removes a pairing.
            diagnostic("pairing check of " + paired.name +
                       ": no answer from the registry, asking again: " + failure.what());
        }
        if (state == activeState || state == mismatchState ||
            std::chrono::steady_clock::now() + pairingCheckInterval > until) {
            co_return state;
        }
        auto pause = sleepFor(pairingCheckInterval);
        co_await std::move(pause);
    }
}

} // namespace tarnwick
