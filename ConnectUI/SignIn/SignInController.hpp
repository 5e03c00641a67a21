#pragma once

#include "ConnectCore/Account/AuthSession.hpp"
#include "ConnectCore/Account/AuthStore.hpp"
#include "ConnectCore/Account/AuthorizationRequest.hpp"
#include "ConnectCore/Async/Completion.hpp"
#include "ConnectUI/Async/QtExecutor.hpp"

#include <QTimer>
#include <asio/awaitable.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tarnwick {

/// Presents the sign-in page in the user's browser and waits for the page's return address, which the
/// browser hands to a new launch of the application and that launch hands over to this instance
/// (`SignInHandOff`). Lives on the main thread.
class SignInController {
public:
    /// Shows the sign-in page; false when it could not be shown.
    using Opener = std::function<bool(const std::string& url)>;

    /// A browser closed without an answer sends nothing back, so a sign-in waits this long at most.
    static constexpr std::chrono::milliseconds defaultTimeout = std::chrono::minutes(2);

    /// `open` empty: the desktop's default browser through xdg-open.
    SignInController(QtExecutor main, Opener open, std::chrono::milliseconds timeout = defaultTimeout);

    /// Opens the sign-in page and returns the session of the return address that `complete` receives.
    /// Throws `AuthError::cancelled` when `cancel` is called or a newer run replaces this one, and
    /// `AuthError::tokenExchangeFailed` when no address came back within the timeout.
    asio::awaitable<AuthSession> run(std::shared_ptr<AuthStore> auth);
    /// Ends the running sign-in with the page's return address. False when no sign-in waits or the
    /// address does not answer its request (not the application's return address, or another state).
    bool complete(const std::string& url) const;
    /// Ends the running sign-in as closed by the user.
    void cancel() const;

    /// Opens the address with xdg-open.
    static bool openWithDesktop(const std::string& url);

private:
    QtExecutor main_;
    Opener open_;
    std::chrono::milliseconds timeout_;
    QTimer expiry_;
    /// The sign-in now waiting for its return address.
    std::optional<Completion<std::string>> session_;
    /// Its request: the verifier and state never leave this instance.
    std::optional<AuthorizationRequest> request_;
};

} // namespace tarnwick
