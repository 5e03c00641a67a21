#include "ConnectUI/SignIn/SignInController.hpp"

#include "ConnectCore/Account/AuthError.hpp"

#include <QProcess>
#include <QString>
#include <QTimer>

namespace tarnwick {

SignInController::SignInController(QtExecutor main, Opener open, std::chrono::milliseconds timeout)
    : main_(std::move(main)),
      open_(open ? std::move(open) : Opener(&SignInController::openWithDesktop)),
      timeout_(timeout) {
    expiry_.setSingleShot(true);
}

asio::awaitable<AuthSession> SignInController::run(std::shared_ptr<AuthStore> auth) {
    cancel();
    session_.emplace(main_);
    request_ = AuthorizationRequest::generate();
    const Completion<std::string> waiting = *session_;
    const AuthorizationRequest request = *request_;
    if (!open_(auth->authorizationURL(request))) {
        session_.reset();
        request_.reset();
        throw AuthError::tokenExchangeFailed("could not open a browser");
    }
    // The timer holds only the completion, which ignores it once the sign-in has ended another way. It
    // is this controller's, so the completion never outlives the main thread's context at exit.
    QObject::disconnect(&expiry_, &QTimer::timeout, nullptr, nullptr);
    QObject::connect(&expiry_, &QTimer::timeout, [waiting] {
        waiting.fail(
            std::make_exception_ptr(AuthError::tokenExchangeFailed("the browser did not answer in time")));
    });
    expiry_.start(timeout_);
    const std::string address = co_await waiting.wait();
    auto finishing = auth->finishSignIn(address, request);
    co_return co_await std::move(finishing);
}

bool SignInController::complete(const std::string& url) const {
    // Only an answer to the open request ends a sign-in: an address some other page sent the browser to,
    // or any other text from the socket, leaves it waiting for the user's own.
    return session_ && request_ && request_->answer(url) && session_->resume(url);
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
