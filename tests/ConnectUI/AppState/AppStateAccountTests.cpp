// Signing in, registering and the rules that need an account, against the local development back end
// (or a scripted registry), in a network namespace of the test's own (see tests/CMakeLists.txt).
#include "tests/ConnectCore/Account/AccountFixture.hpp"
#include "tests/ConnectCore/Account/DevBackendProcess.hpp"
#include "tests/Support/LoopbackInstances.hpp"
#include "tests/Support/QtApplication.hpp"
#include "tests/Support/ScriptedHTTPServer.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

constexpr const char* registerAgainText =
    "Sign in again to finish setting up this computer. Transfers still work in the meantime.";
constexpr const char* notLinkedText =
    "This computer isn't linked to your account yet, so pairing asks for the "
    "six-digit code each time. Transfers work as normal.";

class NetworkNamespaceAccountTest : public testing::LoopbackInstances {
protected:
    /// A started instance whose account services are at `endpoints`; `stored` is signed in already.
    Instance& launch(const AppConfiguration::Endpoints& endpoints, std::optional<AuthSession> stored = {},
                     std::chrono::milliseconds signInTimeout = SignInController::defaultTimeout) {
        Instance& instance = add("Studio Mac", stored, [&](AppState::Setup& setup) {
            setup.accountEndpoints = endpoints;
            setup.openSignInPage = [this](const std::string& url) {
                opened.push_back(url);
                return true;
            };
            setup.signInTimeout = signInTimeout;
        });
        instance->start();
        EXPECT_TRUE(
            testing::waitFor([&] { return instance->availability().state == Availability::Case::ready; }));
        return instance;
    }

    /// Starts a sign-in and waits until its page is open.
    void beginSignIn(Instance& instance) {
        const auto before = opened.size();
        instance->signIn();
        EXPECT_TRUE(instance->isSigningIn());
        ASSERT_TRUE(testing::waitFor([&] { return opened.size() > before; }));
    }

    /// The sign-in pages the instances asked to show.
    std::vector<std::string> opened;
};

TEST_F(NetworkNamespaceAccountTest, SignInAdoptsTheReturnAddressRegistersAndSignsOut) {
    testing::DevBackendProcess backend;
    Instance& instance = launch(testing::endpointsAt(backend.url()));
    EXPECT_FALSE(instance->isSignedIn());
    beginSignIn(instance);
    const std::string login = opened.back();
    EXPECT_TRUE(login.starts_with(backend.url() + "/login?returnTo=tarnwickconnect://auth/callback&"))
        << login;
    instance->signIn(); // a second press while one runs changes nothing
    EXPECT_EQ(opened.size(), 1u);

    // Another page's sign-in, or tokens without the state, neither sign in nor end the user's sign-in.
    EXPECT_FALSE(instance->signInController().complete("https://elsewhere.example/#id_token=x"));
    const std::string attackers =
        backend.url() + "/login?code_challenge=x&code_challenge_method=S256&state=y";
    EXPECT_FALSE(
        instance->signInController().complete(testing::signInThroughPage(attackers, "mallory@example.net")));
    EXPECT_FALSE(instance->signInController().complete(
        testing::signInThroughPage(backend.url() + "/login", "mallory@example.net")));
    EXPECT_TRUE(instance->isSigningIn());
    ASSERT_TRUE(instance->signInController().complete(testing::signInThroughPage(login, "ada@example.com")));
    ASSERT_TRUE(testing::waitFor([&] { return instance->justSignedIn(); }));
    EXPECT_FALSE(instance->isSigningIn());
    EXPECT_EQ(instance->account()->email, "ada@example.com");
    EXPECT_EQ(instance->registeredDeviceId(), instance->identity()->deviceID());
    EXPECT_FALSE(instance->signInError());

    instance->signOut();
    ASSERT_TRUE(testing::waitFor([&] { return !instance->isSignedIn(); }));
    EXPECT_FALSE(instance->registeredDeviceId());
}

TEST_F(NetworkNamespaceAccountTest, AFailedSignInSaysWhyUntilTheNextOneStarts) {
    testing::DevBackendProcess backend;
    Instance& instance = launch(testing::endpointsAt(backend.url()));
    beginSignIn(instance);
    const std::string login = opened.back();
    const std::string state = URLEncoding::parameters(login.substr(login.find('?') + 1)).at("state");
    ASSERT_TRUE(instance->signInController().complete(
        "tarnwickconnect://auth/callback?error=access_denied&state=" + state));
    ASSERT_TRUE(testing::waitFor([&] { return !instance->isSigningIn(); }));
    EXPECT_EQ(instance->signInError(), "Sign-in failed: access_denied");
    EXPECT_FALSE(instance->signInErrorIsRecoverable());
    EXPECT_FALSE(instance->isSignedIn());
    EXPECT_FALSE(instance->justSignedIn());

    beginSignIn(instance);
    EXPECT_FALSE(instance->signInError()) << "a new sign-in clears the last message";
}

// A browser closed without answering sends nothing back; the sign-in must end on its own and say so.
TEST_F(NetworkNamespaceAccountTest, ASignInWithoutAnAnswerEndsAfterItsTimeoutAndCanStartAgain) {
    testing::DevBackendProcess backend;
    Instance& instance = launch(testing::endpointsAt(backend.url()), {}, std::chrono::milliseconds(1000));
    beginSignIn(instance);
    ASSERT_TRUE(testing::waitFor([&] { return !instance->isSigningIn(); }));
    EXPECT_EQ(instance->signInError(), "Sign-in failed: the browser did not answer in time");
    EXPECT_FALSE(instance->signInErrorIsRecoverable()) << "the Sign In button is the way on";

    beginSignIn(instance);
    EXPECT_TRUE(
        instance->signInController().complete(testing::signInThroughPage(opened.back(), "ada@example.com")));
    ASSERT_TRUE(testing::waitFor([&] { return instance->isSignedIn(); }));
}

TEST_F(NetworkNamespaceAccountTest, AFailedRegistrationKeepsTheAccountAndSaysWhetherSigningInAgainHelps) {
    testing::DevBackendProcess backend;
    struct Case {
        int status;
        std::string code;
        bool recoverable;
    };
    for (const Case& answer : {Case{403, "token_expired", true}, Case{401, "unauthorized", true},
                               Case{403, "tenant_mismatch", false}, Case{500, "internal", false}}) {
        SCOPED_TRACE(answer.code);
        testing::ScriptedHTTPServer registry(
            testing::ScriptedHTTPServer::answer(answer.status, R"({"error":")" + answer.code + R"("})"));
        auto endpoints = testing::endpointsAt(backend.url());
        endpoints.apiBaseURL = registry.url();
        Instance& instance = launch(endpoints, testing::accountOf("user-1"));
        ASSERT_TRUE(testing::waitFor([&] { return instance->signInError().has_value(); }));
        EXPECT_EQ(instance->signInError(), answer.recoverable ? registerAgainText : notLinkedText);
        EXPECT_EQ(instance->signInErrorIsRecoverable(), answer.recoverable);
        ASSERT_TRUE(instance->isSignedIn());
        EXPECT_EQ(instance->account()->userSub, "user-1");
        EXPECT_FALSE(instance->registeredDeviceId());
    }
}

TEST_F(NetworkNamespaceAccountTest, WithoutAnAccountNothingIsDialledSentOrAccepted) {
    // Nothing answers on the registry's address: registration fails, the stored account stays.
    const auto nowhere = testing::endpointsAt("http://127.0.0.1:9");
    Instance& signedOut = launch(nowhere);
    Instance& signedIn = launch(nowhere, testing::accountOf("user-1"));
    ASSERT_TRUE(testing::waitFor([&] { return signedIn->isSignedIn(); }));

    signedOut->connect(testing::loopbackPeer(*signedIn.state));
    EXPECT_FALSE(signedOut->connecting());

    // The signed-out side closes the channel at once: no prompt, no device on either side.
    signedIn->connect(testing::loopbackPeer(*signedOut.state));
    ASSERT_TRUE(testing::waitFor([&] { return !signedIn->connecting(); }, 20s));
    EXPECT_FALSE(signedOut->pendingPairing());
    EXPECT_TRUE(signedOut->connectedDevices().empty());
    EXPECT_TRUE(signedIn->connectedDevices().empty());
}

} // namespace
} // namespace tarnwick
