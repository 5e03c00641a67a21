#pragma once

#include "ConnectCore/Account/AuthorizationRequest.hpp"

#include <QTimer>

#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace tarnwick {

/// Presents the sign-in page in the user's browser and waits for the page's return address, which the
/// browser hands to a new launch of the application and that launch hands over to this instance
/// (`SignInHandOff`). Lives on the main thread; its callbacks run there, never once it is gone.
class SignInController {
public:
    /// Shows the sign-in page; false when it could not be shown.
    using Opener = std::function<bool(const std::string& url)>;
    /// The login page for a request.
    using Page = std::function<std::string(const AuthorizationRequest& request)>;
    /// The page's return address and the request it answers.
    using Answered = std::function<void(std::string address, AuthorizationRequest request)>;
    using Failed = std::function<void(std::exception_ptr failure)>;

    /// A browser closed without an answer sends nothing back, so a sign-in waits this long at most.
    static constexpr std::chrono::milliseconds defaultTimeout = std::chrono::minutes(2);

    /// `open` empty: the desktop's default browser through xdg-open.
    explicit SignInController(Opener open, std::chrono::milliseconds timeout = defaultTimeout);

    /// Opens the sign-in page of a new request; `answered` gets the return address that `complete`
    /// receives. `failed` gets `AuthError::cancelled` when `cancel` is called or a newer run replaces this
    /// one, and `AuthError::tokenExchangeFailed` when no browser opened or no address came back in time.
    void run(const Page& page, Answered answered, Failed failed);
    /// Ends the running sign-in with the page's return address. False when no sign-in waits or the
    /// address does not answer its request (not the application's return address, or another state).
    bool complete(const std::string& url);
    /// Ends the running sign-in as closed by the user.
    void cancel();

    /// Opens the address with xdg-open.
    static bool openWithDesktop(const std::string& url);

private:
    /// The sign-in now waiting for its return address.
    struct Waiting {
        AuthorizationRequest request;
        Answered answered;
        Failed failed;
    };

    void fail(std::exception_ptr failure);

    Opener open_;
    std::chrono::milliseconds timeout_;
    QTimer expiry_;
    std::optional<Waiting> waiting_;
};

} // namespace tarnwick
