#include "ConnectCore/Account/APIError.hpp"
#include "ConnectCore/Account/AuthError.hpp"
#include "ConnectCore/Account/ConnectAPI.hpp"
#include "ConnectCore/Account/DecodingError.hpp"
#include "ConnectCore/Account/TransportError.hpp"
#include "TarnwickConnectProtocol/Certificates/SelfSignedCertificate.hpp"
#include "TarnwickConnectProtocol/Crypto/P256Key.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"
#include "tests/ConnectCore/Account/AccountFixture.hpp"
#include "tests/ConnectCore/Account/DevBackendProcess.hpp"
#include "tests/Support/ScriptedHTTPServer.hpp"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedHTTPServer;

/// Signed in to the development back end as a member of the "example-com" workspace.
class ConnectAPITest : public testing::AccountTest {
protected:
    testing::DevBackendProcess backend;
    std::shared_ptr<AuthStore> auth = makeStore(backend.url());
    ConnectAPI api{pool.get_executor(), auth, backend.url()};
    AuthSession session =
        run(auth->adoptCallback(testing::signInThroughPage(backend.url() + "/login", "ada@example.com")));

    RegisteredDevice registerDevice(const std::string& deviceId, const Bytes& key) {
        return run(api.registerDevice(deviceId, "Studio " + deviceId, "macos", key, "Debian 12", "1.0"));
    }

    /// The error a registry call ends with.
    template <typename Error, typename T> Error failureOf(asio::awaitable<T> call) {
        try {
            run(std::move(call));
        } catch (const Error& error) {
            return error;
        }
        throw std::runtime_error("the call did not fail that way");
    }
};

Bytes newKey() {
    return SelfSignedCertificate::subjectPublicKeyInfo(P256PrivateKey::generate().publicKey().x963());
}

TEST_F(ConnectAPITest, RegistersListsAndRevokesDevices) {
    const Bytes key = newKey();
    const RegisteredDevice device = registerDevice("A-1", key);
    EXPECT_EQ(device.spkiSHA256, SPKIFingerprint::compute(key));
    EXPECT_TRUE(device.lastSeenAt);
    // An identifier that is not one path segment reaches the registry whole and names only itself.
    registerDevice("B/../A-1", newKey());
    EXPECT_EQ(run(api.listDevices()).size(), 2u);

    run(api.revokeDevice("B/../A-1"));
    const auto left = run(api.listDevices());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0], device);
    EXPECT_EQ(failureOf<APIError>(api.revokeDevice("B/../A-1")).status(), 404);
}

// "+" and "&" in the query's identifier must reach the registry as themselves, so that the revoke names
// this pairing and no other.
TEST_F(ConnectAPITest, PairsDevicesOnceBothSidesAgree) {
    const std::string b = "B+1&deviceId=A";
    registerDevice("A", newKey());
    registerDevice(b, newKey());
    EXPECT_EQ(run(api.submitPairing("A", b, "commitment")), "pending") << "until the peer commits";
    EXPECT_EQ(run(api.submitPairing(b, "A", "commitment")), "active");
    run(api.revokePairing(b, "A"));
    EXPECT_TRUE(run(api.listPairings()).empty());
    EXPECT_EQ(failureOf<APIError>(api.revokePairing("A", b)).status(), 404);
}

TEST_F(ConnectAPITest, TheRegistryRefusesBadTokensAndOtherWorkspaces) {
    AuthSession other = session;
    other.tenantSlug = "elsewhere";
    run(auth->adopt(other));
    const auto mismatch = failureOf<APIError>(api.listDevices());
    EXPECT_EQ(mismatch, APIError::http(403, "tenant_mismatch"));
    EXPECT_FALSE(mismatch.needsSignIn());

    AuthSession forged = session;
    forged.idToken = session.idToken.substr(0, session.idToken.rfind('.')) + ".AAAA";
    run(auth->adopt(forged));
    const auto unauthorized = failureOf<APIError>(api.listDevices());
    EXPECT_EQ(unauthorized, APIError::http(401, "unauthorized"));
    EXPECT_TRUE(unauthorized.needsSignIn());
}

TEST_F(ConnectAPITest, AnExpiredTokenAsksForSignInAgain) {
    // Tokens born expired, while the client believes they have an hour: the registry has the last word.
    const testing::DevBackendProcess expiring(0);
    auto expiringAuth = makeStore(expiring.url());
    const AuthSession stale = AuthStore::sessionFromCallback(
        testing::signInThroughPage(expiring.url() + "/login", "a@b.c"), AuthSession::Clock::now() + 3600s);
    run(expiringAuth->adopt(stale));
    ConnectAPI expiringAPI{pool.get_executor(), expiringAuth, expiring.url()};
    const auto expired = failureOf<APIError>(expiringAPI.listDevices());
    EXPECT_EQ(expired, APIError::http(403, "token_expired"));
    EXPECT_TRUE(expired.needsSignIn());
}

TEST_F(ConnectAPITest, AccountsWithoutSessionOrWorkspaceSendNothing) {
    const ScriptedHTTPServer registry(ScriptedHTTPServer::answer(200, "{}"));
    ConnectAPI offline{pool.get_executor(), auth, registry.url()};
    AuthSession noWorkspace = session;
    noWorkspace.tenantSlug.clear();
    run(auth->adopt(noWorkspace));
    EXPECT_EQ(failureOf<APIError>(offline.listDevices()), APIError::noWorkspace());
    EXPECT_EQ(failureOf<APIError>(offline.revokePairing("A", "B")), APIError::noWorkspace());

    run(auth->signOut());
    const auto signedOut = failureOf<APIError>(offline.submitPairing("A", "B", "c"));
    EXPECT_EQ(signedOut, APIError::notSignedIn());
    EXPECT_TRUE(signedOut.needsSignIn());
    EXPECT_EQ(registry.connections(), 0);
}

TEST_F(ConnectAPITest, BadAnswersEndWithTypedErrors) {
    const auto registry = [this](const ScriptedHTTPServer& server) {
        return std::make_unique<ConnectAPI>(pool.get_executor(), auth, server.url());
    };
    const ScriptedHTTPServer truncated(ScriptedHTTPServer::answer(200, R"({"devices":[{"deviceId":"A","na)"));
    EXPECT_THROW(run(registry(truncated)->listDevices()), DecodingError);
    const ScriptedHTTPServer wrongShape(ScriptedHTTPServer::answer(200, R"({"devices":[{"deviceId":7}]})"));
    EXPECT_THROW(run(registry(wrongShape)->listDevices()), DecodingError);
    const ScriptedHTTPServer huge(ScriptedHTTPServer::answer(200, std::string(8 << 20, ' ')));
    EXPECT_EQ(failureOf<TransportError>(registry(huge)->listDevices()).errorCase(),
              TransportError::Case::responseTooLarge);
    // Short of its length: the connection ends before the body does.
    const ScriptedHTTPServer cut("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"devices\":[");
    EXPECT_THROW(run(registry(cut)->listDevices()), TransportError);
    const ScriptedHTTPServer html(ScriptedHTTPServer::answer(403, "<html>Forbidden</html>", "text/html"));
    EXPECT_EQ(failureOf<APIError>(registry(html)->listPairings()), APIError::http(403, "unknown"));
    const ScriptedHTTPServer notHTTP("SSH-2.0-OpenSSH_9.2\r\n");
    EXPECT_EQ(failureOf<APIError>(registry(notHTTP)->listPairings()), APIError::malformedResponse());
}

TEST_F(ConnectAPITest, ASlowRegistryTimesOut) {
    const ScriptedHTTPServer slow(ScriptedHTTPServer::answer(200, R"({"devices":[]})"), 5s);
    ConnectAPI impatient{pool.get_executor(), auth, slow.url(), HTTPClient({.timeout = 300ms})};
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(failureOf<TransportError>(impatient.listDevices()).errorCase(), TransportError::Case::timedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
}

// What a stopping program relies on: the blocking threads it joins are not held by a silent registry.
TEST_F(ConnectAPITest, AnAbortedClientEndsTheRequestThatWaitsAndSendsNoMore) {
    const ScriptedHTTPServer silent(ScriptedHTTPServer::answer(200, R"({"devices":[]})"), 30s);
    const HTTPClient http;
    ConnectAPI stopping{pool.get_executor(), auth, silent.url(), http};
    std::thread aborter([&] {
        while (silent.connections() == 0) {
            std::this_thread::sleep_for(10ms);
        }
        http.abort();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(failureOf<TransportError>(stopping.listDevices()).errorCase(), TransportError::Case::failed);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    aborter.join();
    EXPECT_EQ(failureOf<TransportError>(stopping.listDevices()).errorCase(), TransportError::Case::failed);
    EXPECT_EQ(silent.connections(), 1);
}

} // namespace
} // namespace tarnwick
