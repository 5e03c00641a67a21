#include "ConnectCore/Account/APIError.hpp"
#include "ConnectCore/Transfer/TransferReceiver.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Async/EngineThreads.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "tests/Support/ProfileSettings.hpp"
#include "tests/Support/QtApplication.hpp"

#include <asio/error.hpp>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

/// One application instance with a profile of its own, not started.
struct Instance {
    Instance(
        QtExecutionContext& context, EngineThreads& engine,
        std::function<bool()> canBindListener = [] { return true; }) {
        state = std::make_unique<AppState>(
            AppState::Setup{QtExecutor(context), engine.executor(), engine.blocking(), profile.settings.get(),
                            profile.home, std::nullopt, false, std::move(canBindListener)});
    }

    testing::ProfileSettings profile;
    std::unique_ptr<AppState> state;
};

class AppStateTest : public ::testing::Test {
protected:
    void SetUp() override { testing::qtApplication(); }
    // The engine's threads stop before the main thread's context goes (the instances are gone by then).
    void TearDown() override { engine.stop(); }

    EngineThreads engine;
    QtExecutionContext context;
};

DiscoveredPeer peerNamed(std::string id, std::string name) {
    return DiscoveredPeer{id, std::move(name), "KEY-" + id, {}, {}, {}, {}};
}

TEST_F(AppStateTest, ARefusedListenerBlocksStartAndNothingElseStarts) {
    Instance instance(context, engine, [] { return false; });
    instance.state->start();
    ASSERT_TRUE(testing::waitFor(
        [&] { return instance.state->availability().state != Availability::Case::starting; }));
    EXPECT_EQ(instance.state->availability(),
              Availability::blocked(
                  "This computer is refusing local network connections. A VPN, firewall or security "
                  "tool is the usual cause."));
    EXPECT_TRUE(instance.state->peers().empty());
    EXPECT_FALSE(instance.state->identity());
    EXPECT_FALSE(instance.state->advertiser());
}

TEST_F(AppStateTest, SelectionFollowsThePeerListAndEqualListsNotifyNobody) {
    Instance instance(context, engine);
    AppState& state = *instance.state;
    int notified = 0;
    QObject::connect(&state, &AppState::peersChanged, [&] { ++notified; });
    state.updatePeers({peerNamed("A", "Phone"), peerNamed("B", "Tablet")});
    state.setSelectedPeerID("B");
    state.updatePeers({peerNamed("A", "Phone"), peerNamed("B", "Tablet")});
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(state.selectedPeer()->name, "Tablet");

    state.updatePeers({peerNamed("C", "Laptop"), peerNamed("A", "Phone")});
    EXPECT_EQ(state.selectedPeerID(), "C") << "the selected peer left: the first one is chosen";
    state.updatePeers({});
    EXPECT_FALSE(state.selectedPeerID());
    EXPECT_FALSE(state.selectedPeer());
}

TEST_F(AppStateTest, WithoutADestinationNothingIsSentOrListed) {
    Instance instance(context, engine);
    testing::appendToFile(instance.profile.folder / "a.txt", "a");
    instance.state->send({instance.profile.folder / "a.txt"});
    instance.state->sendFromWatchFolder(instance.profile.folder / "a.txt");
    EXPECT_TRUE(instance.state->transfers().empty());
}

// The guard that keeps received files from being sent back compares whole components.
TEST(AppStateGuardTest, InsideMeansBelowTheFolderComponentByComponent) {
    const std::filesystem::path downloads = "/home/ann/Downloads/Tarnwick Connect";
    EXPECT_TRUE(AppState::isInside("/home/ann/Downloads/Tarnwick Connect/photo.jpg", downloads));
    EXPECT_TRUE(AppState::isInside("/home/ann/Downloads/Tarnwick Connect/a/b.txt",
                                   "/home/ann/Downloads/Tarnwick Connect/"));
    EXPECT_TRUE(AppState::isInside("/home/ann/Downloads/x/../Tarnwick Connect/photo.jpg", downloads));
    EXPECT_FALSE(AppState::isInside("/home/ann/Downloads/Tarnwick Connect 2/photo.jpg", downloads));
    EXPECT_FALSE(AppState::isInside("/home/ann/Downloads/photo.jpg", downloads));
    EXPECT_FALSE(AppState::isInside("/home/ann/Downloads/Tarnwick Connect/../photo.jpg", downloads));
}

std::string describe(auto error) {
    return AppState::describeTransfer(std::make_exception_ptr(error));
}

// What decides the sentence besides the error's kind: the receiver's reason, the network error's family,
// the local file (named, since a batch fails as a whole) and the registry's own description.
TEST(AppStateMessagesTest, TheSentenceFollowsTheFailure) {
    EXPECT_EQ(describe(TWCPError::rejectedByPeer("full")), "The device declined the transfer.");
    EXPECT_EQ(describe(TWCPError::rejectedByPeer(TransferReceiver::insufficientSpaceReason)),
              "The device doesn't have enough space for these files.");
    for (const auto closed :
         {std::errc::broken_pipe, std::errc::connection_reset, std::errc::not_connected}) {
        EXPECT_EQ(describe(std::system_error(std::make_error_code(closed))),
                  "The connection closed. Reconnect and try again.");
    }
    EXPECT_EQ(describe(asio::system_error(asio::error::eof)),
              "The connection dropped. Reconnect and try again.");
    const auto local = [](std::errc code) {
        return describe(
            std::filesystem::filesystem_error("open", "/home/ann/notes.txt", std::make_error_code(code)));
    };
    EXPECT_EQ(local(std::errc::no_such_file_or_directory),
              "notes.txt was moved or deleted before it was sent.");
    EXPECT_EQ(local(std::errc::permission_denied), "notes.txt can't be read: permission denied.");
    EXPECT_EQ(local(std::errc::io_error), "notes.txt couldn't be read.");
    EXPECT_EQ(describe(std::filesystem::filesystem_error("read", std::make_error_code(std::errc::io_error))),
              "The transfer didn't finish. Try again.");
    EXPECT_EQ(describe(std::runtime_error("?")), "The transfer didn't finish. Try again.");
    const APIError expired = APIError::http(403, "token_expired");
    EXPECT_EQ(describe(expired), expired.description());
}

} // namespace
} // namespace tarnwick
