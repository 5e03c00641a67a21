// The account: loading it at start-up, browser sign-in, registering this device and signing out.
#include "ConnectCore/Account/APIError.hpp"
#include "ConnectCore/Account/AuthError.hpp"
#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Host/AppVersion.hpp"
#include "ConnectCore/Host/HostFacts.hpp"
#include "ConnectUI/AppState/AppState.hpp"

#include <QPointer>
#include <asio/co_spawn.hpp>
#include <asio/use_awaitable.hpp>

namespace tarnwick {
namespace {

constexpr const char* registerAgainText =
    "Sign in again to finish setting up this computer. Transfers still work in the meantime.";
constexpr const char* notLinkedText =
    "This computer isn't linked to your account yet, so pairing asks for the "
    "six-digit code each time. Transfers work as normal.";

// The engine-side calls own what they use, so they finish safely even when the application state is gone.
asio::awaitable<std::optional<AuthSession>> storedSession(std::shared_ptr<AuthStore> auth) {
    auto loading = auth->currentSession();
    co_return co_await std::move(loading);
}

asio::awaitable<void> forget(std::shared_ptr<AuthStore> auth) {
    auto signingOut = auth->signOut();
    co_await std::move(signingOut);
}

asio::awaitable<RegisteredDevice> registerDevice(std::shared_ptr<ConnectAPI> api, DeviceIdentity identity,
                                                 std::string name) {
    auto registering = api->registerDevice(identity.deviceID(), std::move(name), "macos", identity.spkiDER(),
                                           HostFacts::osVersion(), appVersion);
    co_return co_await std::move(registering);
}

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

asio::awaitable<void> AppState::loadAccount() {
    QPointer<AppState> guard(this);
    auto loading = asio::co_spawn(setup_.engine, storedSession(auth_), asio::use_awaitable);
    std::optional<AuthSession> stored = co_await std::move(loading);
    if (!guard) {
        co_return;
    }
    assign(account_, std::move(stored), &AppState::accountChanged);
    Q_EMIT accountLoaded();
    if (account_) {
        co_await registerThisMac();
    }
}

void AppState::signIn() {
    if (isSigningIn_) {
        return;
    }
    assign(isSigningIn_, true, &AppState::isSigningInChanged);
    setSignInError(std::nullopt, false);
    spawn(performSignIn(), "sign-in");
}

void AppState::cancelSignIn() {
    if (isSigningIn_) {
        signInController_.cancel();
    }
}

asio::awaitable<void> AppState::performSignIn() {
    QPointer<AppState> guard(this);
    std::optional<AuthSession> session;
    std::exception_ptr failure;
    try {
        auto running = signInController_.run(auth_);
        session = co_await std::move(running);
    } catch (const std::exception&) {
        failure = std::current_exception();
    }
    if (!guard) {
        co_return;
    }
    if (!session) {
        failSignIn(failure);
        co_return;
    }
    assign(account_, std::move(session), &AppState::accountChanged);
    const auto signedInAt = std::chrono::steady_clock::now();
    co_await registerThisMac();
    const auto shown = std::chrono::steady_clock::now() - signedInAt;
    if (guard && shown < signInMinimumShown) {
        auto pause = asio::co_spawn(setup_.engine, sleepFor(signInMinimumShown - shown), asio::use_awaitable);
        co_await std::move(pause);
    }
    if (!guard) {
        co_return;
    }
    assign(justSignedIn_, true, &AppState::justSignedInChanged);
    assign(isSigningIn_, false, &AppState::isSigningInChanged);
    if (onPairingRequested) {
        onPairingRequested();
    }
    spawn(showJustSignedIn(), "sign-in notice");
}

asio::awaitable<void> AppState::showJustSignedIn() {
    QPointer<AppState> guard(this);
    auto pause = asio::co_spawn(setup_.engine, sleepFor(justSignedInShown), asio::use_awaitable);
    co_await std::move(pause);
    if (guard) {
        assign(justSignedIn_, false, &AppState::justSignedInChanged);
    }
}

void AppState::failSignIn(const std::exception_ptr& error) {
    assign(isSigningIn_, false, &AppState::isSigningInChanged);
    // The user closed the sign-in: nothing to tell them.
    if (!isCancellation(error)) {
        setSignInError(describeSignIn(error), isRecoverable(error));
    }
}

asio::awaitable<void> AppState::registerThisMac() {
    if (!identity_) {
        co_return;
    }
    QPointer<AppState> guard(this);
    std::optional<RegisteredDevice> device;
    std::exception_ptr failure;
    try {
        auto registering =
            asio::co_spawn(setup_.engine, registerDevice(api_, *identity_, deviceName_), asio::use_awaitable);
        device = co_await std::move(registering);
    } catch (const std::exception& error) {
        diagnostic(std::string("registration failed: ") + error.what());
        failure = std::current_exception();
    }
    if (!guard) {
        co_return;
    }
    if (device) {
        assign(registeredDeviceId_, std::optional(device->deviceId), &AppState::registeredDeviceIdChanged);
        setSignInError(std::nullopt, false);
        co_return;
    }
    const bool recoverable = isRecoverable(failure);
    setSignInError(recoverable ? registerAgainText : notLinkedText, recoverable);
}

void AppState::signOut() {
    spawn(performSignOut(), "sign-out");
}

asio::awaitable<void> AppState::performSignOut() {
    QPointer<AppState> guard(this);
    auto forgetting = asio::co_spawn(setup_.engine, forget(auth_), asio::use_awaitable);
    co_await std::move(forgetting);
    if (guard) {
        assign(account_, std::optional<AuthSession>(), &AppState::accountChanged);
        assign(registeredDeviceId_, std::optional<std::string>(), &AppState::registeredDeviceIdChanged);
    }
}

void AppState::setSignInError(std::optional<std::string> message, bool recoverable) {
    assign(signInErrorIsRecoverable_, recoverable, &AppState::signInErrorIsRecoverableChanged);
    assign(signInError_, std::move(message), &AppState::signInErrorChanged);
}

} // namespace tarnwick
