#include "ConnectUI/SignIn/SignInController.hpp"

#include "ConnectCore/Account/AuthError.hpp"

#include <QProcess>
#include <QString>

namespace tarnwick {

SignInController::SignInController(Opener open, std::chrono::milliseconds timeout)
    : open_(open ? std::move(open) : Opener(&SignInController::openWithDesktop)),
      timeout_(timeout) {
    expiry_.setSingleShot(true);
    QObject::connect(&expiry_, &QTimer::timeout, [this] {
        fail(std::make_exception_ptr(AuthError::tokenExchangeFailed("the browser did not answer in time")));
    });
}

void SignInController::run(const Page& page, Answered answered, Failed failed) {
    cancel();
    auto request = AuthorizationRequest::generate();
    if (!open_(page(request))) {
        failed(std::make_exception_ptr(AuthError::tokenExchangeFailed("could not open a browser")));
        return;
    }
    waiting_.emplace(Waiting{std::move(request), std::move(answered), std::move(failed)});
    expiry_.start(timeout_);
}

bool SignInController::complete(const std::string& url) {
    // Only an answer to the open request ends a sign-in: an address some other page sent the browser to,
    // or any other text from the socket, leaves it waiting for the user's own.
    if (!waiting_ || !waiting_->request.answer(url)) {
        return false;
    }
    expiry_.stop();
    Waiting answered = std::move(*std::exchange(waiting_, std::nullopt));
    answered.answered(url, std::move(answered.request));
    return true;
}

void SignInController::cancel() {
    fail(std::make_exception_ptr(AuthError::cancelled()));
}

void SignInController::fail(std::exception_ptr failure) {
    if (!waiting_) {
        return;
    }
    expiry_.stop();
    const Failed failed = std::move(std::exchange(waiting_, std::nullopt)->failed);
    failed(std::move(failure));
}

bool SignInController::openWithDesktop(const std::string& url) {
    return QProcess::startDetached("xdg-open", {QString::fromStdString(url)});
}

} // namespace tarnwick
