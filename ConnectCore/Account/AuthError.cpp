#include "ConnectCore/Account/AuthError.hpp"

namespace tarnwick {
namespace {

std::string describe(AuthError::Case errorCase, const std::string& message) {
    switch (errorCase) {
    case AuthError::Case::tokenExchangeFailed:
        return "Sign-in failed: " + message;
    case AuthError::Case::cancelled:
        return "Sign-in was cancelled.";
    case AuthError::Case::noAuthorizationCode:
        return "Sign-in did not return an authorization code.";
    case AuthError::Case::notSignedIn:
        return "Not signed in.";
    case AuthError::Case::stateMismatch:
        return "Sign-in returned an answer to a request this app did not make.";
    case AuthError::Case::serviceUnavailable:
        return "The account service is not answering (HTTP " + message + "). Trying again shortly.";
    case AuthError::Case::noWorkspace:
        break;
    }
    return "This account has no workspace.";
}

} // namespace

AuthError::AuthError(Case errorCase, std::string message)
    : case_(errorCase),
      message_(std::move(message)),
      description_(describe(case_, message_)) {}

} // namespace tarnwick
