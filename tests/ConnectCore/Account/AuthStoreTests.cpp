#include "ConnectCore/Account/AuthError.hpp"
#include "ConnectCore/Account/AuthStore.hpp"
#include "tests/ConnectCore/Account/AccountFixture.hpp"
#include "tests/ConnectCore/Account/DevBackendProcess.hpp"

#include <sys/stat.h>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using testing::signInThroughPage;

class AuthStoreTest : public testing::AccountTest {
protected:
    testing::DevBackendProcess backend;
    std::shared_ptr<AuthStore> store = makeStore(backend.url());

    AuthSession signIn(const std::string& email = "ada@example.com") {
        return run(store->adoptCallback(signInThroughPage(backend.url(), email)));
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

TEST_F(AuthStoreTest, SignsInThroughTheLoginPageAndIsFoundByTheNextLaunch) {
    EXPECT_EQ(store->authorizationURL(), backend.url() + "/login?returnTo=tarnwickconnect://auth/callback");
    EXPECT_FALSE(run(store->isSignedIn()));
    const AuthSession session = signIn();
    EXPECT_EQ(session.email, "ada@example.com");
    EXPECT_EQ(session.tenantSlug, "example-com");

    const auto nextLaunch = makeStore(backend.url());
    EXPECT_EQ(run(nextLaunch->currentSession()), session);
    struct stat file {};
    ASSERT_EQ(::stat(keychain.fallbackFile().c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600);
}

TEST_F(AuthStoreTest, AnAccountWithoutWorkspaceIsNotAdopted) {
    const std::string callback = signInThroughPage(backend.url(), "nodomain");
    EXPECT_THROW(run(store->adoptCallback(callback)), AuthError);
    EXPECT_FALSE(run(store->isSignedIn()));
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

TEST_F(AuthStoreTest, ARejectedRefreshSignsOut) {
    AuthSession session = storedExpiringIn(-5s);
    session.refreshToken = "revoked";
    keychain.save(session);
    try {
        run(store->validToken());
        FAIL() << "the refresh was accepted";
    } catch (const AuthError& error) {
        EXPECT_EQ(error, AuthError::tokenExchangeFailed("refresh rejected"));
    }
    EXPECT_FALSE(run(store->isSignedIn()));
    EXPECT_FALSE(keychain.loadSession());
    EXPECT_FALSE(std::filesystem::exists(keychain.fallbackFile()));
}

TEST_F(AuthStoreTest, WithoutASessionThereIsNoToken) {
    EXPECT_THROW(run(store->validToken()), AuthError);
    signIn();
    run(store->signOut());
    EXPECT_THROW(run(store->validToken()), AuthError);
    EXPECT_FALSE(run(makeStore(backend.url())->isSignedIn()));
}

TEST_F(AuthStoreTest, RedeemsACodeWithItsVerifierOnce) {
    const auto pkce = AuthStore::PKCE::generate();
    const std::string callback = signInThroughPage(backend.url(), "grace@example.org", pkce.challenge);
    const std::string code = callback.substr(callback.find("?code=") + 6);

    try {
        run(store->exchange(code, "wrong verifier"));
        FAIL() << "a wrong verifier was accepted";
    } catch (const AuthError& error) {
        EXPECT_EQ(error, AuthError::tokenExchangeFailed(R"({"error":"invalid_grant"})"));
    }
    // The failed attempt used the code up, as a guessed verifier must not get another try.
    EXPECT_THROW(run(store->exchange(code, pkce.verifier)), AuthError);

    const std::string second = signInThroughPage(backend.url(), "grace@example.org", pkce.challenge);
    const AuthSession session = run(store->exchange(second.substr(second.find("?code=") + 6), pkce.verifier));
    EXPECT_EQ(session.tenantSlug, "example-org");
    EXPECT_EQ(run(store->currentSession()), session);
}

} // namespace
} // namespace tarnwick
