#pragma once

#include "ConnectCore/Account/AuthStore.hpp"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

/// One browser sign-in in flight. Its PKCE verifier and its random state stay in this process: the
/// login address carries only the challenge and the state, and a return address counts only when it
/// echoes the state, so a page that sends the browser to the application with its own code or tokens
/// (login CSRF) signs nobody in, and a code read off the way back is useless without the verifier.
class AuthorizationRequest {
public:
    /// A fresh proof key and 16 random bytes of state.
    static AuthorizationRequest generate();

    const AuthStore::PKCE& pkce() const { return pkce_; }
    const std::string& state() const { return state_; }

    /// `loginURL` with its query replaced by "returnTo" (the application's return address),
    /// "code_challenge", "code_challenge_method" = "S256" and "state".
    std::string url(std::string_view loginURL) const;
    /// The parameters of `returnAddress` when it answers this request: the application's return address
    /// followed by a query or fragment whose "state" is this request's. None for anything else.
    std::optional<std::map<std::string, std::string>> answer(std::string_view returnAddress) const;

private:
    AuthStore::PKCE pkce_;
    std::string state_;
};

} // namespace tarnwick
