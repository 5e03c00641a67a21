#include "ConnectCore/Account/AuthStore.hpp"

#include "ConnectCore/Account/AuthError.hpp"
#include "ConnectCore/Account/AuthorizationRequest.hpp"
#include "ConnectCore/Async/Blocking.hpp"

namespace tarnwick {
namespace {

/// How much of a rejected exchange's answer becomes the error's message.
constexpr std::size_t rejectionExcerpt = 200;

/// The first `count` characters of UTF-8 text; each byte that starts no valid character becomes U+FFFD.
std::string utf8Prefix(std::string_view text, std::size_t count) {
    std::string prefix;
    std::size_t at = 0;
    for (std::size_t characters = 0; characters < count && at < text.size(); ++characters) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        bool valid = length > 0 && at + length <= text.size();
        for (std::size_t i = 1; valid && i < length; ++i) {
            valid = (static_cast<unsigned char>(text[at + i]) & 0xC0) == 0x80;
        }
        prefix += valid ? text.substr(at, length) : "\xEF\xBF\xBD";
        at += valid ? length : 1;
    }
    return prefix;
}

/// Whether the token service says the refresh token itself is no good, as opposed to being unable to
/// answer now (an outage, a gateway error, a rate limit), which signing out would not mend.
bool isRejection(const HTTPClient::Response& response) {
    if (response.status == 401) {
        return true;
    }
    const auto answer = nlohmann::json::parse(response.body, nullptr, false);
    return response.status == 400 && answer.is_object() && answer.contains("error") &&
           answer.at("error") == "invalid_grant";
}

/// `base` with one more path component, as a URL gains one: exactly one "/" between them.
std::string appendingPath(std::string base, std::string_view component) {
    if (base.empty() || base.back() != '/') {
        base.push_back('/');
    }
    return base.append(component);
}

} // namespace

AuthStore::AuthStore(const asio::any_io_executor& executor, asio::any_io_executor blocking,
                     KeychainStore keychain, AppConfiguration::Endpoints endpoints, HTTPClient http)
    : Actor(executor),
      blocking_(std::move(blocking)),
      keychain_(std::move(keychain)),
      endpoints_(std::move(endpoints)),
      http_(http) {}

asio::awaitable<std::optional<AuthSession>> AuthStore::currentSession() {
    return enter(loadedSession());
}

asio::awaitable<bool> AuthStore::isSignedIn() {
    const auto session = co_await currentSession();
    co_return session.has_value();
}

asio::awaitable<std::string> AuthStore::validToken() {
    return enter(validTokenOnStrand());
}

asio::awaitable<void> AuthStore::signOut() {
    return enter(signOutOnStrand());
}

std::string AuthStore::authorizationURL(const AuthorizationRequest& request) const {
    return request.url(endpoints_.loginURL);
}

asio::awaitable<AuthSession> AuthStore::finishSignIn(std::string url, AuthorizationRequest request) {
    const auto answer = request.answer(url);
    if (!answer) {
        throw AuthError::stateMismatch();
    }
    if (const auto code = answer->find("code"); code != answer->end()) {
        co_return co_await exchange(code->second, request.pkce().verifier);
    }
    if (url.find('#') != std::string::npos) {
        co_return co_await adoptCallback(std::move(url));
    }
    if (const auto error = answer->find("error"); error != answer->end()) {
        throw AuthError::tokenExchangeFailed(error->second);
    }
    throw AuthError::noAuthorizationCode();
}

asio::awaitable<AuthSession> AuthStore::adoptCallback(std::string url) {
    AuthSession session = sessionFromCallback(url, AuthSession::Clock::now());
    co_await adopt(session);
    co_return session;
}

asio::awaitable<AuthSession> AuthStore::exchange(std::string code, std::string verifier) {
    return enter(exchangeOnStrand(std::move(code), std::move(verifier)));
}

asio::awaitable<void> AuthStore::adopt(AuthSession session) {
    return enter(adoptOnStrand(std::move(session)));
}

asio::awaitable<std::optional<AuthSession>> AuthStore::loadedSession() {
    if (!didLoad_) {
        auto load = [keychain = keychain_] { return keychain.loadSession(); };
        auto loaded = co_await runBlocking(blocking_, std::move(load));
        // A session adopted while the key store was read is newer than what it held.
        if (!didLoad_) {
            didLoad_ = true;
            session_ = std::move(loaded);
        }
    }
    co_return session_;
}

asio::awaitable<std::string> AuthStore::validTokenOnStrand() {
    const auto current = co_await loadedSession();
    if (!current) {
        throw AuthError::notSignedIn();
    }
    if (!current->needsRefresh()) {
        co_return current->idToken;
    }
    if (refreshing_) {
        const Completion<std::string> joined(strand());
        refreshWaiters_.push_back(joined);
        co_return co_await joined.wait();
    }
    refreshing_ = true;
    std::string token;
    std::exception_ptr failure;
    try {
        token = co_await refreshedToken(*current);
    } catch (...) {
        failure = std::current_exception();
    }
    refreshing_ = false;
    for (const auto& waiter : std::exchange(refreshWaiters_, {})) {
        failure ? waiter.fail(failure) : waiter.resume(token);
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    co_return token;
}

asio::awaitable<std::string> AuthStore::refreshedToken(AuthSession current) {
    if (std::chrono::steady_clock::now() >= retryAt_) {
        try {
            const AuthSession refreshed = co_await refresh(current);
            co_await adoptOnStrand(refreshed);
            retryDelay_ = firstRetryDelay;
            co_return refreshed.idToken;
        } catch (...) {
            lastFailure_ = std::current_exception();
        }
        // A rejection signed the account out; that answer is final.
        if (!session_) {
            std::rethrow_exception(lastFailure_);
        }
        retryAt_ = std::chrono::steady_clock::now() + retryDelay_;
        retryDelay_ = std::min(retryDelay_ * 2, longestRetryDelay);
    }
    // An outage of the token service costs nothing while the token still serves its last seconds.
    if (!current.isExpired()) {
        co_return current.idToken;
    }
    std::rethrow_exception(lastFailure_);
}

asio::awaitable<void> AuthStore::signOutOnStrand() {
    session_.reset();
    didLoad_ = true;
    auto clear = [keychain = keychain_] { keychain.clear(); };
    co_await runBlocking(blocking_, std::move(clear));
}

asio::awaitable<void> AuthStore::adoptOnStrand(AuthSession session) {
    session_ = session;
    didLoad_ = true;
    auto save = [keychain = keychain_, session = std::move(session)] { keychain.save(session); };
    co_await runBlocking(blocking_, std::move(save));
}

asio::awaitable<AuthSession> AuthStore::exchangeOnStrand(std::string code, std::string verifier) {
    std::map<std::string, std::string> fields{{"grant_type", "authorization_code"},
                                              {"client_id", std::string(AppConfiguration::clientID)},
                                              {"code", std::move(code)},
                                              {"redirect_uri", std::string(AppConfiguration::redirectURI)},
                                              {"code_verifier", std::move(verifier)}};
    const auto response = co_await postTokenRequest(std::move(fields));
    if (response.status != 200) {
        throw AuthError::tokenExchangeFailed(utf8Prefix(response.body, rejectionExcerpt));
    }
    const AuthSession session =
        buildSession(TokenResponse::decode(response.body), std::nullopt, AuthSession::Clock::now());
    co_await adoptOnStrand(session);
    co_return session;
}

asio::awaitable<AuthSession> AuthStore::refresh(AuthSession session) {
    std::map<std::string, std::string> fields{{"grant_type", "refresh_token"},
                                              {"client_id", std::string(AppConfiguration::clientID)},
                                              {"refresh_token", session.refreshToken}};
    const auto response = co_await postTokenRequest(std::move(fields));
    if (isRejection(response)) {
        co_await signOutOnStrand();
        throw AuthError::tokenExchangeFailed("refresh rejected");
    }
    if (response.status != 200) {
        throw AuthError::serviceUnavailable(response.status);
    }
    co_return buildSession(TokenResponse::decode(response.body), session.refreshToken,
                           AuthSession::Clock::now());
}

asio::awaitable<HTTPClient::Response> AuthStore::postTokenRequest(std::map<std::string, std::string> fields) {
    HTTPClient::Request request{"POST",
                                appendingPath(endpoints_.hostedAuthURL, "oauth2/token"),
                                {{"Content-Type", "application/x-www-form-urlencoded"}},
                                HTTPClient::formBody(fields)};
    auto post = [http = http_, request = std::move(request)] { return http.perform(request); };
    co_return co_await runBlocking(blocking_, std::move(post));
}

} // namespace tarnwick
