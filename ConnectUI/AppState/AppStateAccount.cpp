// The account as the device reports it: loading at start, browser sign-in, registration, sign-out and the
// registry's verdict on a first contact.
#include "ConnectCore/Account/APIError.hpp"
#include "ConnectCore/Account/AuthError.hpp"
#include "ConnectUI/AppState/AppState.hpp"

#include <QTimer>

#include <algorithm>

namespace tarnwick {
namespace {

constexpr const char* registerAgainText =
    "Sign in again to finish setting up this computer. Transfers still work in the meantime.";
constexpr const char* notLinkedText =
    "This computer isn't linked to your account yet, so pairing asks for the "
    "six-digit code each time. Transfers work as normal.";

std::string describeSignIn(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& failure) {
        return failure.what();
    } catch (...) {
        return "Sign-in failed.";
    }
}

bool isCancellation(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const AuthError& failure) {
        return failure.errorCase() == AuthError::Case::cancelled;
    } catch (...) {
        return false;
    }
}

} // namespace

bool AppState::isRecoverable(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const APIError& failure) {
        return failure.needsSignIn();
    } catch (...) {
        return false;
    }
}

void AppState::signIn() {
    if (isSigningIn_ || !device_) {
        return;
    }
    assign(isSigningIn_, true, &AppState::isSigningInChanged);
    setSignInError(std::nullopt, false);
    signInController_.run(
        [this](const AuthorizationRequest& request) { return device_->signInPage(request); },
        [this](std::string address, AuthorizationRequest request) {
            device_->signIn(std::move(address), std::move(request));
        },
        [this](std::exception_ptr failure) { failSignIn(failure); });
}

void AppState::cancelSignIn() {
    if (isSigningIn_) {
        signInController_.cancel();
    }
}

void AppState::signOut() {
    if (device_) {
        device_->signOut();
    }
}

void AppState::apply(DeviceEvents::AccountLoaded loaded) {
    assign(account_, std::move(loaded.session), &AppState::accountChanged);
    Q_EMIT accountLoaded();
}

void AppState::apply(DeviceEvents::SignedIn signedIn) {
    assign(account_, std::optional(std::move(signedIn.session)), &AppState::accountChanged);
    signedInAt_ = std::chrono::steady_clock::now();
}

void AppState::apply(DeviceEvents::SignInFailed failed) {
    failSignIn(failed.failure);
}

void AppState::apply(DeviceEvents::SignedOut) {
    assign(account_, std::optional<AuthSession>(), &AppState::accountChanged);
    assign(registeredDeviceId_, std::optional<std::string>(), &AppState::registeredDeviceIdChanged);
}

void AppState::apply(DeviceEvents::Registered registered) {
    assign(registeredDeviceId_, std::optional(std::move(registered.deviceId)),
           &AppState::registeredDeviceIdChanged);
    setSignInError(std::nullopt, false);
    finishSignIn();
}

void AppState::apply(DeviceEvents::RegistrationFailed failed) {
    const bool recoverable = isRecoverable(failed.failure);
    setSignInError(recoverable ? registerAgainText : notLinkedText, recoverable);
    finishSignIn();
}

// A registration after a sign-in ends it, whatever its outcome; one of the stored account does not.
void AppState::finishSignIn() {
    if (!isSigningIn_) {
        return;
    }
    const auto shown = std::chrono::steady_clock::now() - signedInAt_;
    if (shown < signInMinimumShown) {
        QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(signInMinimumShown - shown),
                           this, [this] { showSignedIn(); });
    } else {
        showSignedIn();
    }
}

void AppState::showSignedIn() {
    assign(justSignedIn_, true, &AppState::justSignedInChanged);
    assign(isSigningIn_, false, &AppState::isSigningInChanged);
    if (onPairingRequested) {
        onPairingRequested();
    }
    QTimer::singleShot(justSignedInShown, this,
                       [this] { assign(justSignedIn_, false, &AppState::justSignedInChanged); });
}

void AppState::failSignIn(const std::exception_ptr& error) {
    assign(isSigningIn_, false, &AppState::isSigningInChanged);
    // The user closed the sign-in: nothing to tell them.
    if (!isCancellation(error)) {
        setSignInError(describeSignIn(error), isRecoverable(error));
    }
}

void AppState::setSignInError(std::optional<std::string> message, bool recoverable) {
    assign(signInErrorIsRecoverable_, recoverable, &AppState::signInErrorIsRecoverableChanged);
    assign(signInError_, std::move(message), &AppState::signInErrorChanged);
}

void AppState::apply(DeviceEvents::PairingVerified verified) {
    verified_.insert(verified.fingerprint);
    const auto device =
        std::ranges::find(connectedDevices_, verified.fingerprint, &ConnectedDevice::fingerprint);
    if (device != connectedDevices_.end() && !device->verified) {
        device->verified = true;
        Q_EMIT connectedDevicesChanged();
    }
}

// The device has closed the relayed session already.
void AppState::apply(DeviceEvents::PairingRefuted refuted) {
    const auto& devices = paired_->devices();
    const auto entry = std::ranges::find(devices, refuted.fingerprint, &PairedDevice::fingerprint);
    if (entry != devices.end()) {
        paired_->forget(*entry);
    }
    assign(connectError_,
           std::optional("The pairing with " + refuted.name + " could not be verified and was removed."),
           &AppState::connectErrorChanged);
}

} // namespace tarnwick
