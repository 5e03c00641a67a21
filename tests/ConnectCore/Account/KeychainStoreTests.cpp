#include "ConnectCore/Account/KeychainStore.hpp"
#include "tests/Support/FileMode.hpp"
#include "tests/Support/ScopedEnvironment.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace tarnwick {
namespace {

AuthSession sampleSession() {
    return {"id.token.here",  "access",
            "refresh",        AuthSession::TimePoint(std::chrono::seconds(1'900'000'000)),
            "studio",         "user-1",
            "ada@example.com"};
}

/// With no session bus at all, the store keeps the session in a private file.
class KeychainFileFallback : public ::testing::Test {
protected:
    KeychainFileFallback() {
        environment.set("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tarnwick-no-bus");
    }

    testing::ScopedEnvironment environment;
    testing::TemporaryDirectory home;
    std::filesystem::path config = home.path() / "config" / "Tarnwick";
    KeychainStore store{"io.tarnwick.connect", config};
};

TEST_F(KeychainFileFallback, KeepsTheSessionInAPrivateFile) {
    EXPECT_FALSE(store.loadSession());
    store.save(sampleSession());
    EXPECT_EQ(testing::modeOf(config), 0700u);
    EXPECT_EQ(testing::modeOf(store.fallbackFile()), 0600u);
    EXPECT_EQ(KeychainStore("io.tarnwick.connect", config).loadSession(), sampleSession());
    EXPECT_FALSE(KeychainStore("io.tarnwick.other", config).loadSession()) << "items are per service";

    store.clear();
    EXPECT_FALSE(std::filesystem::exists(store.fallbackFile()));
    EXPECT_FALSE(store.loadSession());
}

TEST_F(KeychainFileFallback, UnreadableOrUnwritableStoresFailQuietly) {
    std::filesystem::create_directories(config);
    std::ofstream(store.fallbackFile()) << R"({"idToken": "truncated)";
    EXPECT_FALSE(store.loadSession());

    // A file where the config folder should be: the save is lost, nothing is thrown.
    const KeychainStore blocked("io.tarnwick.connect", store.fallbackFile() / "Tarnwick");
    blocked.save(sampleSession());
    EXPECT_FALSE(blocked.loadSession());
    blocked.clear();
}

/// Under a real Secret Service: gnome-keyring on a private session bus, which the test command
/// `tests/integration/with-secret-service.sh` provides. Elsewhere these skip.
class SecretServiceKeychain : public ::testing::Test {
protected:
    void SetUp() override {
        const char* service = std::getenv("TARNWICK_SECRET_SERVICE");
        if (!service || std::string(service) != "gnome-keyring") {
            GTEST_SKIP() << "needs the private Secret Service of tests/integration/with-secret-service.sh";
        }
    }

    testing::TemporaryDirectory config;
    KeychainStore store{"io.tarnwick.connect.test", config.path()};
};

TEST_F(SecretServiceKeychain, KeepsTheSessionInTheKeyringAndNoFile) {
    store.save(sampleSession());
    EXPECT_FALSE(std::filesystem::exists(store.fallbackFile()));
    EXPECT_EQ(KeychainStore("io.tarnwick.connect.test", config.path()).loadSession(), sampleSession());

    AuthSession replaced = sampleSession();
    replaced.idToken = "replaced";
    store.save(replaced);
    EXPECT_EQ(store.loadSession(), replaced);

    store.clear();
    EXPECT_FALSE(store.loadSession());
}

TEST_F(SecretServiceKeychain, AnOlderFileCopyGoesOnceTheKeyringHoldsTheSession) {
    std::ofstream(store.fallbackFile()) << sampleSession().encode();
    EXPECT_EQ(store.loadSession(), sampleSession()) << "saved while no Secret Service answered";
    store.save(sampleSession());
    EXPECT_FALSE(std::filesystem::exists(store.fallbackFile()));
    EXPECT_EQ(store.loadSession(), sampleSession());
    store.clear();
}

/// Under a Secret Service whose keyring nobody unlocks (`with-secret-service.sh --locked`): it is there but
/// refuses to store. Elsewhere this skips.
TEST(LockedSecretServiceKeychain, ARefusingKeyringIsNotReplacedByAPlainFile) {
    const char* service = std::getenv("TARNWICK_SECRET_SERVICE");
    if (!service || std::string(service) != "locked-gnome-keyring") {
        GTEST_SKIP()
            << "needs the locked Secret Service of tests/integration/with-secret-service.sh --locked";
    }
    testing::TemporaryDirectory config;
    const KeychainStore store{"io.tarnwick.connect.test", config.path()};
    store.save(sampleSession());
    EXPECT_FALSE(std::filesystem::exists(store.fallbackFile())) << "the user chose the keyring, not a file";
    EXPECT_FALSE(store.loadSession());
}

} // namespace
} // namespace tarnwick
