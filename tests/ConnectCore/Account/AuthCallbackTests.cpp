#include "ConnectCore/Account/AuthError.hpp"
#include "ConnectCore/Account/AuthStore.hpp"
#include "ConnectCore/Account/DecodingError.hpp"
#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "tests/ConnectCore/Account/AccountFixture.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using Clock = AuthSession::Clock;

const Clock::time_point now = Clock::time_point(std::chrono::seconds(1'800'000'000));

const std::string idToken = testing::unsignedToken(
    {{"sub", "user-1"}, {"email", "ada@example.com"}, {"custom:tenantSlug", "claimed"}});

AuthSession adopt(const std::string& fragment) {
    return AuthStore::sessionFromCallback("tarnwickconnect://auth/callback#" + fragment, now);
}

AuthError failureOf(const std::string& url) {
    try {
        AuthStore::sessionFromCallback(url, now);
    } catch (const AuthError& error) {
        return error;
    }
    throw std::runtime_error("the address was adopted");
}

TEST(AuthCallback, FillsWhatTheFragmentLeavesOut) {
    // No access token, workspace or lifetime: the ID token, its claim and an hour stand in.
    const auto session = adopt("id_token=" + idToken + "&refresh_token=ref");
    EXPECT_EQ(session.accessToken, idToken);
    EXPECT_EQ(session.tenantSlug, "claimed");
    EXPECT_EQ(session.expiresAt, now + 3600s);
    EXPECT_EQ(adopt("id_token=" + idToken + "&refresh_token=ref&expires_in=soon").expiresAt, now + 3600s);
    EXPECT_EQ(adopt("id_token=" + idToken + "&refresh_token=ref&expires_in=1e300").expiresAt, now + 3600s);
}

TEST(AuthCallback, IgnoresPiecesWithoutKeyOrValueAndLetsLaterKeysWin) {
    const auto session = adopt("junk&=x&access_token=&id_token=" + idToken +
                               "&refresh_token=old&refresh_token=new&access_token=a%2Fb&tenant_slug=100%");
    EXPECT_EQ(session.refreshToken, "new");
    EXPECT_EQ(session.accessToken, "a/b");
    EXPECT_EQ(session.tenantSlug, "100%") << "a value that does not decode is kept raw";
}

TEST(AuthCallback, RefusesAddressesWithoutUsableTokens) {
    EXPECT_EQ(failureOf("tarnwickconnect://auth/callback"), AuthError::noAuthorizationCode());
    EXPECT_EQ(failureOf("not an address#id_token=x"), AuthError::noAuthorizationCode());
    EXPECT_EQ(failureOf("tarnwickconnect://auth/callback#error=access_denied").description(),
              "Sign-in failed: access_denied");
    EXPECT_EQ(failureOf("tarnwickconnect://auth/callback#state=1"),
              AuthError::tokenExchangeFailed("no token returned"));
    EXPECT_EQ(failureOf("tarnwickconnect://auth/callback#id_token=" + idToken),
              AuthError::tokenExchangeFailed("no refresh token returned"));
}

TEST(AuthCallback, RefusesTokensWithoutSubjectOrWorkspace) {
    const auto callback = [](const std::string& token) {
        return "tarnwickconnect://auth/callback#refresh_token=r&id_token=" + token;
    };
    EXPECT_EQ(failureOf(callback("a.b")), AuthError::tokenExchangeFailed("malformed token"));
    EXPECT_EQ(failureOf(callback("a.b.c.d")), AuthError::tokenExchangeFailed("malformed token"));
    EXPECT_EQ(failureOf(callback("a.!!.c")), AuthError::tokenExchangeFailed("malformed token"));
    // Two dots around a payload that is not JSON: no claims, so no subject.
    EXPECT_EQ(failureOf(callback("a." + Base64::urlEncode(bytesOf("not json")) + ".c")),
              AuthError::tokenExchangeFailed("token has no subject"));
    EXPECT_EQ(failureOf(callback(testing::unsignedToken({{"sub", 7}}))),
              AuthError::tokenExchangeFailed("token has no subject"));
    EXPECT_EQ(failureOf(callback(testing::unsignedToken({{"sub", "u"}}))), AuthError::noWorkspace());
}

TEST(AuthTokenAnswer, BuildsSessionsKeepingTheEarlierRefreshToken) {
    const auto answer = AuthStore::TokenResponse::decode(
        R"({"id_token":")" + testing::unsignedToken({{"sub", "u"}, {"custom:tenant_slug", "alt"}}) +
        R"(","access_token":"acc","expires_in":120})");
    const auto session = AuthStore::buildSession(answer, "kept", now);
    EXPECT_EQ(session.refreshToken, "kept");
    EXPECT_EQ(session.tenantSlug, "alt");
    EXPECT_EQ(session.expiresAt, now + 120s);
    EXPECT_THROW(AuthStore::buildSession(answer, std::nullopt, now), AuthError);
    EXPECT_THROW(AuthStore::TokenResponse::decode(R"({"id_token":"x","access_token":"y","expires_in":"1"})"),
                 DecodingError);
    EXPECT_THROW(AuthStore::TokenResponse::decode(R"({"id_token":"x","acc)"), DecodingError);
}

TEST(AuthSessionStoredForm, CountsSecondsFrom2001AndOmitsMissingEmail) {
    AuthSession session{"i", "a", "r",         AuthSession::TimePoint(std::chrono::seconds(978307200 + 90)),
                        "",  "u", std::nullopt};
    const auto stored = nlohmann::json::parse(session.encode());
    EXPECT_EQ(stored["expiresAt"].get<double>(), 90);
    EXPECT_FALSE(stored.contains("email"));
    EXPECT_EQ(AuthSession::decode(session.encode()), session);
    session.email = "e@x";
    EXPECT_EQ(AuthSession::decode(session.encode()), session);
    EXPECT_THROW(AuthSession::decode(R"({"idToken":"i"})"), DecodingError);
    EXPECT_THROW(AuthSession::decode(R"({"idToken":"i","accessToken":"a","refreshToken":"r","expiresAt":1e300,
                                        "tenantSlug":"","userSub":"u"})"),
                 DecodingError);
}

} // namespace
} // namespace tarnwick
