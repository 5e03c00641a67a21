#pragma once

#include <exception>
#include <string>

namespace tarnwick {

/// Why signing in or producing a token failed. `what()` is the user-facing description.
class AuthError : public std::exception {
public:
    enum class Case {
        tokenExchangeFailed, ///< the sign-in page or token service gave no usable tokens; see `message`
        cancelled,           ///< the user closed the sign-in window
        noAuthorizationCode, ///< the return address could not be read or carried no fragment
        notSignedIn,         ///< no account is signed in
        noWorkspace,         ///< the signed-in account belongs to no workspace
        stateMismatch,       ///< a return address did not carry the state of the open sign-in
        serviceUnavailable,  ///< the token service could not answer now; `message` holds the HTTP status
    };

    static AuthError tokenExchangeFailed(std::string message) { return {Case::tokenExchangeFailed, message}; }
    static AuthError cancelled() { return {Case::cancelled, {}}; }
    static AuthError noAuthorizationCode() { return {Case::noAuthorizationCode, {}}; }
    static AuthError notSignedIn() { return {Case::notSignedIn, {}}; }
    static AuthError noWorkspace() { return {Case::noWorkspace, {}}; }
    static AuthError stateMismatch() { return {Case::stateMismatch, {}}; }
    static AuthError serviceUnavailable(int status) {
        return {Case::serviceUnavailable, std::to_string(status)};
    }

    Case errorCase() const { return case_; }
    /// The reason carried by `tokenExchangeFailed`; empty for the other cases.
    const std::string& message() const { return message_; }
    /// "Sign-in failed: " + message, "Sign-in was cancelled.", and so on.
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

    bool operator==(const AuthError& other) const {
        return case_ == other.case_ && message_ == other.message_;
    }

private:
    AuthError(Case errorCase, std::string message);

    Case case_;
    std::string message_;
    std::string description_;
};

} // namespace tarnwick
