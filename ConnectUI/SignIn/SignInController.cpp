#include "ConnectUI/SignIn/SignInController.hpp"

#include "ConnectCore/Account/AppConfiguration.hpp"
#include "ConnectCore/Account/AuthError.hpp"

#include <QProcess>
#include <QString>

namespace tarnwick {

SignInController::SignInController(QtExecutor main, Opener open)
    : main_(std::move(main)),
      open_(open ? std::move(open) : Opener(&SignInController::openWithDesktop)) {}

asio::awaitable<AuthSession> SignInController::run(std::shared_ptr<AuthStore> auth) {
    cancel();
    session_.emplace(main_);
    const Completion<std::string> waiting = *session_;
    if (!open_(auth->authorizationURL())) {
        session_.reset();
        throw AuthError::tokenExchangeFailed("could not open a browser");
    }
    const std::string address = co_await waiting.wait();
    auto adopting = auth->adoptCallback(address);
    co_return co_await std::move(adopting);
}

bool SignInController::complete(const std::string& url) const {
    // Only the application's own return address ends a sign-in, never an arbitrary text from the socket.
    const std::string expected = std::string(AppConfiguration::redirectURI);
    const bool ours = url.starts_with(expected) && url.size() > expected.size() &&
                      (url[expected.size()] == '#' || url[expected.size()] == '?');
    return ours && session_ && session_->resume(url);
}

void SignInController::cancel() const {
    if (session_) {
        session_->fail(std::make_exception_ptr(AuthError::cancelled()));
    }
}

bool SignInController::openWithDesktop(const std::string& url) {
    return QProcess::startDetached("xdg-open", {QString::fromStdString(url)});
}

} // namespace tarnwick
