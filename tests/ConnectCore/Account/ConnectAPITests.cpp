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
    EXPECT_EQ(device.deviceId, "A-1");
    EXPECT_EQ(device.platform, "macos");
    EXPECT_EQ(device.spkiSHA256, SPKIFingerprint::compute(key));
    EXPECT_TRUE(device.lastSeenAt);
    // An identifier that is not one path segment reaches the registry whole and names only itself.
    registerDevice("B/../A-1", newKey());
    EXPECT_EQ(run(api.listDevices()).size(), 2u);

    run(api.revokeDevice("B/../A-1"));
    const auto left = run(api.listDevices());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0], device);
    EXPECT_EQ(failureOf<APIError>(api.revokeDevice("B/../A-1")).description(),
              "That is no longer available.");
}

TEST_F(ConnectAPITest, PairsDevicesOnceBothSidesAgree) {
    // "+" and "&" in the query's identifier must reach the registry as themselves.
    const std::string b = "B+1&deviceId=A";
    const Bytes keyA = newKey();
    const Bytes keyB = newKey();
    registerDevice("A", keyA);
    registerDevice(b, keyB);
    EXPECT_EQ(run(api.submitPairing("A", b, "commitment")), "pending") << "until the peer commits";
    EXPECT_TRUE(run(api.listPairings()).empty());
    EXPECT_EQ(run(api.submitPairing(b, "A", "commitment")), "active");

    const auto pairings = run(api.listPairings());
    ASSERT_EQ(pairings.size(), 1u);
    EXPECT_EQ(pairings[0].peerFingerprint("A"), SPKIFingerprint::compute(keyB));
    EXPECT_EQ(pairings[0].peerFingerprint(b), SPKIFingerprint::compute(keyA));
    EXPECT_EQ(pairings[0].peerFingerprint("C"), std::nullopt);

    run(api.revokePairing(b, "A"));
    EXPECT_TRUE(run(api.listPairings()).empty());
    EXPECT_EQ(failureOf<APIError>(api.revokePairing("A", b)).status(), 404);
}

TEST_F(ConnectAPITest, WakesADeviceUntilTheRegistryLimitsIt) {
    registerDevice("A", newKey());
    EXPECT_EQ(run(api.wake("A", "2 photos")), "queued");
    for (int i = 0; i < 4; ++i) {
        run(api.wake("A", "again"));
    }
    const auto limited = failureOf<APIError>(api.wake("A", "too often"));
    EXPECT_EQ(limited.status(), 429);
    EXPECT_EQ(limited.description(), "Too many attempts. Wait a moment and try again.");
    EXPECT_EQ(failureOf<APIError>(api.wake("nobody", "x")).description(), "That is no longer available.");
}

TEST_F(ConnectAPITest, TheRegistryRefusesBadTokensAndOtherWorkspaces) {
    AuthSession other = session;
    other.tenantSlug = "elsewhere";
    run(auth->adopt(other));
    const auto mismatch = failureOf<APIError>(api.listDevices());
    EXPECT_EQ(mismatch, APIError::http(403, "tenant_mismatch"));
    EXPECT_EQ(mismatch.description(), "This account doesn't have access to that workspace.");
    EXPECT_FALSE(mismatch.needsSignIn());

    AuthSession forged = session;
    forged.idToken = session.idToken.substr(0, session.idToken.rfind('.')) + ".AAAA";
    run(auth->adopt(forged));
    const auto unauthorized = failureOf<APIError>(api.listDevices());
    EXPECT_EQ(unauthorized, APIError::http(401, "unauthorized"));
    EXPECT_EQ(unauthorized.description(), "Your session has expired.");
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
    EXPECT_EQ(expired.description(), "Your session has expired.");
    EXPECT_TRUE(expired.needsSignIn());
}

TEST_F(ConnectAPITest, AccountsWithoutSessionOrWorkspaceSendNothing) {
    const ScriptedHTTPServer registry(ScriptedHTTPServer::answer(200, "{}"));
    ConnectAPI offline{pool.get_executor(), auth, registry.url()};
    AuthSession noWorkspace = session;
    noWorkspace.tenantSlug.clear();
    run(auth->adopt(noWorkspace));
    EXPECT_EQ(failureOf<APIError>(offline.listDevices()).description(), "This account has no workspace.");
    EXPECT_EQ(failureOf<APIError>(offline.registerDevice("A", "n", "macos", newKey(), "o", "v")),
              APIError::noWorkspace());
    EXPECT_EQ(failureOf<APIError>(offline.revokePairing("A", "B")), APIError::noWorkspace());
    EXPECT_EQ(failureOf<APIError>(offline.wake("A", "s")), APIError::noWorkspace());

    run(auth->signOut());
    const auto signedOut = failureOf<APIError>(offline.submitPairing("A", "B", "c"));
    EXPECT_EQ(signedOut.description(), "Sign in to Tarnwick first.");
    EXPECT_TRUE(signedOut.needsSignIn());
    EXPECT_EQ(registry.connections(), 0);
}

/// One misbehaving registry answer and what the client makes of it.
struct Misbehaviour {
    std::string name;
    std::string reply;
    std::string description;
};

void PrintTo(const Misbehaviour& misbehaviour, std::ostream* out) {
    *out << misbehaviour.name;
}

class ConnectAPIAnswerTest : public ConnectAPITest, public ::testing::WithParamInterface<Misbehaviour> {};

TEST_P(ConnectAPIAnswerTest, EveryFailedAnswerGetsItsDescription) {
    const ScriptedHTTPServer registry(GetParam().reply);
    ConnectAPI api{pool.get_executor(), auth, registry.url()};
    EXPECT_EQ(failureOf<APIError>(api.listPairings()).description(), GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, ConnectAPIAnswerTest,
    ::testing::Values(Misbehaviour{"ForbiddenInHTML",
                                   ScriptedHTTPServer::answer(403, "<html>Forbidden</html>", "text/html"),
                                   "This account is not allowed to do that."},
                      Misbehaviour{"TokenExpired",
                                   ScriptedHTTPServer::answer(403, R"({"error":"token_expired"})"),
                                   "Your session has expired."},
                      Misbehaviour{"Teapot", ScriptedHTTPServer::answer(418, R"({"error":"teapot"})"),
                                   "Something went wrong. Try again in a moment."},
                      Misbehaviour{"BadGateway", ScriptedHTTPServer::answer(502, "bad gateway", "text/plain"),
                                   "Tarnwick is having trouble right now. Try again in a moment."},
                      Misbehaviour{"NotFoundWithoutObject", ScriptedHTTPServer::answer(404, "[]"),
                                   "That is no longer available."},
                      Misbehaviour{"NotHTTP", "SSH-2.0-OpenSSH_9.2\r\n",
                                   "Something went wrong at our end. Try again in a moment."}),
    [](const auto& info) { return info.param.name; });

TEST_F(ConnectAPITest, BadAnswersEndWithTypedErrors) {
    const ScriptedHTTPServer truncated(ScriptedHTTPServer::answer(200, R"({"devices":[{"deviceId":"A","na)"));
    ConnectAPI readsTruncated{pool.get_executor(), auth, truncated.url()};
    EXPECT_THROW(run(readsTruncated.listDevices()), DecodingError);

    const ScriptedHTTPServer wrongShape(ScriptedHTTPServer::answer(200, R"({"devices":[{"deviceId":7}]})"));
    ConnectAPI readsWrongShape{pool.get_executor(), auth, wrongShape.url()};
    EXPECT_THROW(run(readsWrongShape.listDevices()), DecodingError);

    const ScriptedHTTPServer huge(ScriptedHTTPServer::answer(200, std::string(8 << 20, ' ')));
    ConnectAPI readsHuge{pool.get_executor(), auth, huge.url()};
    EXPECT_EQ(failureOf<TransportError>(readsHuge.listDevices()).errorCase(),
              TransportError::Case::responseTooLarge);

    // Short of its length: the connection ends before the body does.
    const ScriptedHTTPServer cut("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"devices\":[");
    ConnectAPI readsCut{pool.get_executor(), auth, cut.url()};
    EXPECT_THROW(run(readsCut.listDevices()), TransportError);
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
