#include "ConnectCore/Account/AuthError.hpp"
#include "ConnectCore/Account/AuthStore.hpp"
#include "ConnectCore/Account/AuthorizationRequest.hpp"
#include "ConnectCore/Account/URLEncoding.hpp"
#include "tests/ConnectCore/Account/AccountFixture.hpp"
#include "tests/ConnectCore/Account/DevBackendProcess.hpp"
#include "tests/Support/ScriptedHTTPServer.hpp"

#include <asio/experimental/awaitable_operators.hpp>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using testing::signInThroughPage;

class AuthStoreTest : public testing::AccountTest {
protected:
    testing::DevBackendProcess backend;
    std::shared_ptr<AuthStore> store = makeStore(backend.url());

    AuthSession signIn(const std::string& email = "ada@example.com") {
        return run(store->adoptCallback(signInThroughPage(backend.url() + "/login", email)));
    }

    /// Where the browser returns after signing in as `email` on the login address of `request`.
    std::string returnAddress(const AuthorizationRequest& request,
                              const std::string& email = "ada@example.com") {
        return signInThroughPage(store->authorizationURL(request), email);
    }

    AuthError finishFailure(const std::string& url, const AuthorizationRequest& request) {
        try {
            run(store->finishSignIn(url, request));
        } catch (const AuthError& error) {
            return error;
        }
        throw std::runtime_error("the return address was accepted");
    }

    /// The signed-in session, moved to `left` before its expiry, as a later launch would find it.
    AuthSession storedExpiringIn(AuthSession::Clock::duration left) {
        AuthSession session = signIn();
        session.expiresAt = std::chrono::floor<std::chrono::milliseconds>(AuthSession::Clock::now() + left);
        keychain.save(session);
        store = makeStore(backend.url());
        return session;
    }
};

TEST_F(AuthStoreTest, SignsInWithACodeForTheChallengeAndStateOfTheLoginAddressAndIsFoundByTheNextLaunch) {
    const auto request = AuthorizationRequest::generate();
    const std::string login = store->authorizationURL(request);
    EXPECT_EQ(login.substr(0, login.find('?')), backend.url() + "/login");
    const std::map<std::string, std::string> expected{{"returnTo", "tarnwickconnect://auth/callback"},
                                                      {"code_challenge", request.pkce().challenge},
                                                      {"code_challenge_method", "S256"},
                                                      {"state", request.state()}};
    EXPECT_EQ(URLEncoding::parameters(login.substr(login.find('?') + 1)), expected);
    EXPECT_EQ(login.find(request.pkce().verifier), std::string::npos);
    EXPECT_NE(AuthorizationRequest::generate().state(), request.state());

    // What the browser hands back holds a code and the state, never a token.
    const std::string callback = returnAddress(request);
    EXPECT_TRUE(callback.starts_with("tarnwickconnect://auth/callback?code=")) << callback;
    EXPECT_EQ(callback.find("token"), std::string::npos);
    EXPECT_FALSE(run(store->isSignedIn()));
    const AuthSession session = run(store->finishSignIn(callback, request));
    EXPECT_EQ(session.email, "ada@example.com");
    EXPECT_EQ(session.tenantSlug, "example-com");

    const auto nextLaunch = makeStore(backend.url());
    EXPECT_EQ(run(nextLaunch->currentSession()), session);
}

// A page that sends the browser to the application with its own account's code (login CSRF) or an
// address without the state signs nobody in.
TEST_F(AuthStoreTest, AReturnAddressWithAnotherOrNoStateIsRefused) {
    const auto request = AuthorizationRequest::generate();
    const std::string callback = returnAddress(request);
    const std::string attackers = returnAddress(AuthorizationRequest::generate(), "mallory@example.net");
    const std::string withoutState = callback.substr(0, callback.find("&state="));
    const std::string implicitWithoutState =
        signInThroughPage(backend.url() + "/login", "mallory@example.net");
    for (const std::string& foreign :
         {attackers, withoutState, implicitWithoutState,
          "tarnwickconnect://auth/callback?code=x&state=" + request.state() + "x",
          "tarnwickconnect://auth/elsewhere?state=" + request.state(),
          "https://example.net/?state=" + request.state()}) {
        SCOPED_TRACE(foreign);
        EXPECT_EQ(finishFailure(foreign, request), AuthError::stateMismatch());
    }
    EXPECT_FALSE(run(store->isSignedIn()));
    EXPECT_EQ(run(store->finishSignIn(callback, request)).email, "ada@example.com");
}

TEST_F(AuthStoreTest, AnswersWithoutACodeAreReadFromAPageThatHandsOutNone) {
    const auto request = AuthorizationRequest::generate();
    // The page ignores the challenge but returns the state beside its tokens in the fragment.
    const std::string implicit =
        signInThroughPage(backend.url() + "/login?state=" + request.state(), "grace@example.org");
    EXPECT_NE(implicit.find("#id_token="), std::string::npos) << implicit;
    EXPECT_EQ(run(store->finishSignIn(implicit, request)).email, "grace@example.org");

    const std::string empty = "tarnwickconnect://auth/callback?state=" + request.state();
    EXPECT_EQ(finishFailure(empty, request), AuthError::noAuthorizationCode());
}

TEST_F(AuthStoreTest, RefreshesOnlyInTheLastMinute) {
    const AuthSession lasting = storedExpiringIn(61s);
    EXPECT_EQ(run(store->validToken()), lasting.idToken);
    EXPECT_EQ(keychain.loadSession(), lasting);

    // A refreshed session lives another hour from now; the stored one had 30 seconds left.
    const AuthSession expiring = storedExpiringIn(30s);
    const std::string fresh = run(store->validToken());
    const auto kept = keychain.loadSession();
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->idToken, fresh);
    EXPECT_EQ(kept->refreshToken, expiring.refreshToken) << "the answer carried no new refresh token";
    EXPECT_GT(kept->expiresAt, AuthSession::Clock::now() + 3000s);
}

/// A session whose token service is `server`, `left` before its expiry.
class RefreshTest : public AuthStoreTest {
protected:
    std::shared_ptr<AuthStore> storeRefreshingAt(const testing::ScriptedHTTPServer& server,
                                                 AuthSession::Clock::duration left) {
        session = storedExpiringIn(left);
        return makeStore(server.url());
    }

    AuthSession session;
};

// Only an answer about the refresh token itself ends the session; an outage, a gateway or a rate limit
// keeps it, and the still valid token keeps serving.
TEST_F(RefreshTest, OnlyARejectedRefreshTokenSignsOut) {
    struct Case {
        int status;
        std::string body;
        bool signsOut;
    };
    for (const Case& answer :
         {Case{503, "", false}, Case{502, "<html>bad gateway</html>", false},
          Case{429, R"({"error":"slow_down"})", false}, Case{400, R"({"error":"invalid_request"})", false},
          Case{401, "", true}, Case{400, R"({"error":"invalid_grant"})", true}}) {
        SCOPED_TRACE(answer.status);
        testing::ScriptedHTTPServer server(testing::ScriptedHTTPServer::answer(answer.status, answer.body));
        auto refreshing = storeRefreshingAt(server, -5s);
        try {
            run(refreshing->validToken());
            FAIL() << "an expired token was handed out";
        } catch (const AuthError& error) {
            EXPECT_EQ(error, answer.signsOut ? AuthError::tokenExchangeFailed("refresh rejected")
                                             : AuthError::serviceUnavailable(answer.status));
        }
        EXPECT_EQ(run(refreshing->isSignedIn()), !answer.signsOut);
        EXPECT_EQ(keychain.loadSession().has_value(), !answer.signsOut);
    }

    testing::ScriptedHTTPServer outage(testing::ScriptedHTTPServer::answer(503, ""));
    auto refreshing = storeRefreshingAt(outage, 30s);
    EXPECT_EQ(run(refreshing->validToken()), session.idToken);
}

TEST_F(RefreshTest, AfterAFailureTheNextAttemptWaitsAndFailuresInBetweenCostNoRequest) {
    testing::ScriptedHTTPServer outage(testing::ScriptedHTTPServer::answer(503, ""));
    auto refreshing = storeRefreshingAt(outage, -5s);
    EXPECT_THROW(run(refreshing->validToken()), AuthError);
    EXPECT_THROW(run(refreshing->validToken()), AuthError);
    EXPECT_EQ(outage.connections(), 1);
    std::this_thread::sleep_for(AuthStore::firstRetryDelay + 100ms);
    EXPECT_THROW(run(refreshing->validToken()), AuthError);
    EXPECT_EQ(outage.connections(), 2);
    EXPECT_TRUE(run(refreshing->isSignedIn()));
}

TEST_F(RefreshTest, CallersDuringARefreshShareIt) {
    const std::string token =
        testing::unsignedToken({{"sub", "user-1"}, {"custom:tenantSlug", "example-com"}});
    const nlohmann::json answer{{"id_token", token}, {"access_token", "a"}, {"expires_in", 3600}};
    testing::ScriptedHTTPServer slow(testing::ScriptedHTTPServer::answer(200, answer.dump()), 300ms);
    auto refreshing = storeRefreshingAt(slow, -5s);
    auto both =
        [](std::shared_ptr<AuthStore> store) -> asio::awaitable<std::tuple<std::string, std::string>> {
        using namespace asio::experimental::awaitable_operators;
        co_return co_await (store->validToken() && store->validToken());
    };
    EXPECT_EQ(run(both(refreshing)), std::tuple(token, token));
    EXPECT_EQ(slow.connections(), 1);
}

TEST_F(AuthStoreTest, WithoutASessionThereIsNoToken) {
    EXPECT_THROW(run(store->validToken()), AuthError);
    signIn();
    run(store->signOut());
    EXPECT_THROW(run(store->validToken()), AuthError);
    EXPECT_FALSE(run(makeStore(backend.url())->isSignedIn()));
}

} // namespace
} // namespace tarnwick
