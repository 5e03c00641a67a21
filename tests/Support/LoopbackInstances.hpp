#pragma once

#include "ConnectCore/Account/KeychainStore.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Async/EngineThreads.hpp"
#include "tests/Support/NetworkNamespace.hpp"
#include "tests/Support/ProfileSettings.hpp"
#include "tests/Support/QtApplication.hpp"
#include "tests/Support/ScopedEnvironment.hpp"

#include <asio/ip/address.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::testing {

// Like the application's, the engine and the main thread's context live as long as the process: sessions
// still running when an instance goes end with it, not in the middle of a teardown.
inline EngineThreads& processEngine() {
    static auto* threads = new EngineThreads;
    return *threads;
}

inline QtExecutionContext& processMainContext() {
    static auto* context = new QtExecutionContext;
    return *context;
}

/// How an instance of `profile` is made that listens and dials on loopback without DNS-SD, whose account
/// services are out of reach (a stored account stays in place) and whose sign-in page opens nowhere.
inline AppState::Setup loopbackSetup(const ProfileSettings& profile) {
    const std::string nowhere = "http://127.0.0.1:9";
    return AppState::Setup{QtExecutor(processMainContext()),
                           processEngine().executor(),
                           processEngine().blocking(),
                           profile.settings.get(),
                           profile.home,
                           std::nullopt,
                           false,
                           [] { return true; },
                           {nowhere, nowhere, nowhere},
                           [](const std::string&) { return true; },
                           SignInController::defaultTimeout,
                           ConnectDevice::defaultPort,
                           // Every instance on loopback connects from the same address.
                           std::chrono::seconds(0)};
}

/// The peer the browser would report for a started instance, reached over loopback.
inline DiscoveredPeer loopbackPeer(const AppState& state) {
    const auto& identity = *state.identity();
    return DiscoveredPeer{identity.deviceID(),
                          identity.deviceName(),
                          identity.spkiSHA256(),
                          {},
                          {},
                          {},
                          {asio::ip::make_address("127.0.0.1"), state.availability().port}};
}

/// Whether `state` lists `device` among its connected devices.
inline bool lists(const AppState& state, const AppState& device) {
    return std::ranges::any_of(state.connectedDevices(), [&](const ConnectedDevice& connected) {
        return connected.id == device.identity()->deviceID();
    });
}

/// Dials from `from` to `to` (at `address` when given) and confirms the code on both sides, the dialling
/// side first (the other side asks once the dialler has answered); both must show the same code.
inline void connectAndPair(AppState& from, AppState& to, const std::optional<std::string>& address = {}) {
    address ? from.connectTo(*address) : from.connect(loopbackPeer(to));
    ASSERT_TRUE(waitFor([&] { return from.pendingPairing().has_value(); }));
    const std::string code = from.pendingPairing()->code;
    EXPECT_EQ(code.size(), 6u);
    EXPECT_EQ(from.pendingPairing()->peerName, to.deviceName());
    from.approvePendingPairing();
    ASSERT_TRUE(waitFor([&] { return to.pendingPairing().has_value(); }));
    EXPECT_EQ(to.pendingPairing()->code, code);
    EXPECT_EQ(to.pendingPairing()->peerName, from.deviceName());
    to.approvePendingPairing();
    ASSERT_TRUE(waitFor([&] { return lists(from, to) && lists(to, from); }));
    EXPECT_FALSE(from.pendingPairing());
    EXPECT_FALSE(to.pendingPairing());
}

/// An account valid for an hour, with tokens only a scripted registry accepts.
inline AuthSession accountOf(const std::string& userSub) {
    using namespace std::chrono_literals;
    return {"id-token",
            "access-token",
            "refresh-token",
            std::chrono::time_point_cast<std::chrono::milliseconds>(AuthSession::Clock::now() + 1h),
            "example-com",
            userSub,
            "ada@example.com"};
}

/// Application instances, each with a profile of its own, that listen and dial on loopback in a network
/// namespace made for the test (see tests/CMakeLists.txt), where loopback is the only interface; elsewhere
/// the test skips. Each keeps its account in its profile's key-store file: nobody's keyring is touched.
class LoopbackInstances : public ::testing::Test {
protected:
    struct Instance {
        ProfileSettings profile;
        std::unique_ptr<AppState> state;
        AppState* operator->() const { return state.get(); }
    };

    void SetUp() override {
        const char* marker = std::getenv("TARNWICK_NETWORK_NAMESPACE");
        if (!marker || std::string(marker) != "inside") {
            GTEST_SKIP() << "listens and dials only in a network namespace made for it";
        }
        ASSERT_TRUE(seesOnlyInterfaces({"lo"}));
        qtApplication();
        environment.set("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tarnwick-no-bus");
    }

    /// An instance announcing `name`, not started, made from its profile's loopbackSetup as `adjust` changes
    /// it; `account`, when given, is in its key store as a previous launch's sign-in would have left it.
    Instance& add(const std::string& name, const std::optional<AuthSession>& account,
                  const std::function<void(AppState::Setup&)>& adjust = {}) {
        auto& instance = *instances.emplace_back(std::make_unique<Instance>());
        if (account) {
            KeychainStore(AppState::keychainService, instance.profile.home.settingsFile.parent_path())
                .save(*account);
        }
        AppState::Setup setup = loopbackSetup(instance.profile);
        if (adjust) {
            adjust(setup);
        }
        instance.state = std::make_unique<AppState>(std::move(setup));
        instance->setDeviceName(name);
        return instance;
    }

    /// A started instance announcing `name`, once it listens signed in to an account (devices connect only
    /// then) whose registry is out of reach, which leaves the account in place.
    Instance& launch(const std::string& name) {
        auto& instance = add(name, accountOf("user-" + name));
        instance->start();
        EXPECT_TRUE(waitFor([&] { return instance->isSignedIn() && instance->availability().port != 0; }));
        return instance;
    }

    ScopedEnvironment environment;
    std::vector<std::unique_ptr<Instance>> instances;
};

} // namespace tarnwick::testing
