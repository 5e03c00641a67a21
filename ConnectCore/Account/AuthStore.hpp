#pragma once

#include "ConnectCore/Account/AppConfiguration.hpp"
#include "ConnectCore/Account/AuthSession.hpp"
#include "ConnectCore/Account/HTTPClient.hpp"
#include "ConnectCore/Account/KeychainStore.hpp"
#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Async/Completion.hpp"

#include <nlohmann/json.hpp>

#include <chrono>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class AuthorizationRequest;

/// The signed-in account: adopts the tokens the sign-in page returns, keeps them in the key store,
/// loads them lazily on first use, and refreshes them when a caller asks for a token in their last
/// minute. Network and key-store work runs on the blocking pool; callers that ask while a refresh runs
/// share it. Only a token service that rejects the refresh token signs the account out; any other
/// failure keeps the session and is tried again on demand, no sooner than 1, 2, 4 … 60 s after the last
/// attempt. Failures are `AuthError`, `TransportError` or `DecodingError`.
class AuthStore : public Actor {
public:
    /// A proof key for a code exchange: the verifier and its S256 challenge.
    struct PKCE {
        std::string verifier;  ///< 32 random bytes, unpadded base64url (43 characters)
        std::string challenge; ///< unpadded base64url of the SHA-256 of the verifier's text

        static PKCE generate();
    };

    /// The token endpoint's JSON answer.
    struct TokenResponse {
        std::string idToken;
        std::string accessToken;
        std::optional<std::string> refreshToken;
        long long expiresIn = 0;

        static TokenResponse decode(std::string_view json);
    };

    /// `blocking` runs requests and key-store calls; `endpoints` says where the services are.
    AuthStore(const asio::any_io_executor& executor, asio::any_io_executor blocking, KeychainStore keychain,
              AppConfiguration::Endpoints endpoints, HTTPClient http = {});

    const KeychainStore& keychain() const { return keychain_; }

    /// The current session, loaded from the key store on first use.
    asio::awaitable<std::optional<AuthSession>> currentSession();
    asio::awaitable<bool> isSignedIn();
    /// A fresh ID token, refreshed first when it has less than a minute left. A refresh the token
    /// service rejects ("invalid_grant", or 401) signs the account out. When a refresh fails otherwise
    /// the token is still returned while it has not expired; after that the failure is thrown.
    asio::awaitable<std::string> validToken();
    /// Forgets the session and deletes the stored item.
    asio::awaitable<void> signOut();
    /// The login page of this environment for `request`.
    std::string authorizationURL(const AuthorizationRequest& request) const;
    /// Ends the browser sign-in of `request` with the page's return address: a code is redeemed with the
    /// request's verifier; tokens in the fragment, from a page that hands out no codes, are adopted.
    /// Throws `stateMismatch` when the address does not answer `request`.
    asio::awaitable<AuthSession> finishSignIn(std::string url, AuthorizationRequest request);
    /// Builds the session from the tokens in a return address's fragment, keeps it and returns it.
    asio::awaitable<AuthSession> adoptCallback(std::string url);
    /// Redeems an authorization code with its PKCE verifier, keeps the session and returns it.
    asio::awaitable<AuthSession> exchange(std::string code, std::string verifier);
    /// Makes the session current and stores it.
    asio::awaitable<void> adopt(AuthSession session);

    /// The claims of a JWT; empty when its payload is not a JSON object. Throws
    /// `tokenExchangeFailed("malformed token")` when it is not three base64url parts.
    static nlohmann::json::object_t decodeClaims(std::string_view token);
    /// The session a sign-in return address carries; the rules of `adoptCallback` without keeping it.
    static AuthSession sessionFromCallback(std::string_view url, AuthSession::Clock::time_point now);
    /// The session a token answer makes, keeping `existingRefresh` when the answer carries none.
    static AuthSession buildSession(const TokenResponse& response, std::optional<std::string> existingRefresh,
                                    AuthSession::Clock::time_point now);

    /// The waits before attempts after failures: 1 s, doubling up to `longestRetryDelay`.
    static constexpr std::chrono::seconds firstRetryDelay{1};
    static constexpr std::chrono::seconds longestRetryDelay{60};

private:
    asio::awaitable<std::optional<AuthSession>> loadedSession();
    asio::awaitable<std::string> validTokenOnStrand();
    asio::awaitable<void> signOutOnStrand();
    asio::awaitable<void> adoptOnStrand(AuthSession session);
    asio::awaitable<AuthSession> exchangeOnStrand(std::string code, std::string verifier);
    asio::awaitable<std::string> refreshedToken(AuthSession current);
    asio::awaitable<AuthSession> refresh(AuthSession session);
    asio::awaitable<HTTPClient::Response> postTokenRequest(std::map<std::string, std::string> fields);

    asio::any_io_executor blocking_;
    KeychainStore keychain_;
    AppConfiguration::Endpoints endpoints_;
    HTTPClient http_;
    std::optional<AuthSession> session_;
    bool didLoad_ = false;
    /// Whether a refresh is running; callers that arrive meanwhile wait in `refreshWaiters_` for its token.
    bool refreshing_ = false;
    std::vector<Completion<std::string>> refreshWaiters_;
    /// After a failure that kept the session: the earliest next attempt, the wait after the next failure,
    /// and the failure that stands until then.
    std::chrono::steady_clock::time_point retryAt_{};
    std::chrono::seconds retryDelay_ = firstRetryDelay;
    std::exception_ptr lastFailure_;
};

} // namespace tarnwick
