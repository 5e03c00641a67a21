// Notifications of two real instances that pair and send over loopback, shown by a notification server
// of the test's own on a private session bus (see tests/CMakeLists.txt); elsewhere they skip.
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/Desktop/DesktopNotifications.hpp"
#include "tests/Support/LoopbackInstances.hpp"
#include "tests/Support/NotificationServer.hpp"
#include "tests/Support/QtApplication.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace tarnwick {
namespace {

using Topic = DesktopNotifications::Topic;
using Call = testing::NotificationServer::Call;

class NotificationsOnPrivateBus : public testing::LoopbackInstances {
protected:
    void SetUp() override {
        const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (!bus || !std::getenv("TARNWICK_PRIVATE_SESSION_BUS")) {
            GTEST_SKIP() << "needs a private session bus";
        }
        busAddress = bus;
        // From here on the instances see no bus: they keep their accounts in their profiles' files, not in
        // a keyring on the private one.
        LoopbackInstances::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        server = std::make_unique<testing::NotificationServer>(busAddress);
        ASSERT_TRUE(server->isRegistered());
        mac = launch("Studio").state.get();
        auto& phoneInstance = launch("Phone");
        phone = phoneInstance.state.get();
        phoneSettings = phoneInstance.profile.settings.get();
        notifications = std::make_unique<DesktopNotifications>(
            *phone, *phoneSettings, QDBusConnection::connectToBus(busAddress, "tarnwick-notification-client"),
            [this](Topic topic) { return topic == shownInFocusedWindow; });
    }

    void TearDown() override {
        notifications.reset();
        QDBusConnection::disconnectFromBus("tarnwick-notification-client");
    }

    /// The Mac dials the phone and confirms the code when asked; the phone's answer is the test's to give.
    void dialAndConfirmOnTheMac() {
        ASSERT_TRUE(testing::waitFor([&] { return !mac->connecting(); }));
        mac->connect(testing::loopbackPeer(*phone));
        ASSERT_TRUE(testing::waitFor([&] {
            mac->approvePendingPairing();
            return phone->pendingPairing().has_value();
        }));
    }

    bool connected() const { return !mac->connectedDevices().empty() && !phone->connectedDevices().empty(); }

    void pairThroughTheNotification() {
        dialAndConfirmOnTheMac();
        ASSERT_TRUE(testing::waitFor([&] { return !server->calls().empty(); }));
        server->invoke(server->calls().back().id, "pair");
        ASSERT_TRUE(testing::waitFor([&] { return connected(); }));
    }

    std::filesystem::path file(const std::string& name) {
        const auto path = folder.path() / name;
        std::ofstream(path) << "contents of " << name;
        return path;
    }

    /// Sends the files from the Mac and waits until the phone has them all.
    void sendToThePhone(const std::vector<std::filesystem::path>& files) {
        const auto before = phone->received().size();
        mac->send(files);
        ASSERT_TRUE(testing::waitFor([&] { return phone->received().size() == before + files.size(); }));
    }

    /// The calls after the first `from`.
    std::vector<Call> callsSince(std::size_t from) const {
        return {server->calls().begin() + static_cast<std::ptrdiff_t>(from), server->calls().end()};
    }

    QString busAddress;
    std::unique_ptr<testing::NotificationServer> server;
    AppState* mac = nullptr;
    AppState* phone = nullptr;
    QSettings* phoneSettings = nullptr;
    std::optional<Topic> shownInFocusedWindow;
    std::unique_ptr<DesktopNotifications> notifications;
    testing::TemporaryDirectory folder;
};

TEST_F(NotificationsOnPrivateBus, APairingRequestAsksOnceAndPairAnswersIt) {
    dialAndConfirmOnTheMac();
    const std::string code = phone->pendingPairing()->code;
    ASSERT_TRUE(testing::waitFor([&] { return !server->calls().empty(); }));
    const Call& request = server->calls().front();
    EXPECT_EQ(request.summary, "Pair with Studio?");
    EXPECT_TRUE(
        request.body.startsWith(QString::fromStdString("Code " + code.substr(0, 3) + " " + code.substr(3))));
    EXPECT_EQ(request.actions, QStringList({"pair", "Pair", "decline", "Decline"}));
    EXPECT_EQ(request.hints.value("urgency").toInt(), 2);

    server->invoke(request.id, "pair");
    ASSERT_TRUE(testing::waitFor([&] { return connected(); }));
    EXPECT_TRUE(phone->paired().isPaired(mac->identity()->spkiSHA256()));
    EXPECT_EQ(server->calls().size(), 1u);
}

// A notification answers only the prompt it showed: once the prompt is gone, its buttons do nothing and
// its notification is taken off the screen.
TEST_F(NotificationsOnPrivateBus, AWithdrawnPromptIsClosedAndItsButtonsAnswerNothing) {
    dialAndConfirmOnTheMac();
    ASSERT_TRUE(testing::waitFor([&] { return !server->calls().empty(); }));
    const uint id = server->calls().front().id;
    phone->rejectPendingPairing();
    ASSERT_TRUE(testing::waitFor([&] { return server->closedByClient().contains(id); }));

    dialAndConfirmOnTheMac();
    server->invoke(id, "pair");
    QTest::qWait(200);
    EXPECT_TRUE(phone->pendingPairing().has_value()) << "the old notification answered the new prompt";
}

TEST_F(NotificationsOnPrivateBus, ReceivedFilesShowOneNotificationPerOfferWithTheirActions) {
    pairThroughTheNotification();
    std::size_t from = server->calls().size();
    sendToThePhone({file("notes.txt")});
    ASSERT_TRUE(testing::waitFor([&] { return server->calls().size() > from; }));
    const Call single = server->calls().back();
    EXPECT_EQ(single.summary, "Received notes.txt from Studio");
    EXPECT_EQ(single.actions,
              QStringList({"default", "Open Tarnwick Connect", "open", "Open", "reveal", "Show in Folder"}));

    // The user dismissed it; three files of one offer then share one new notification.
    server->dismiss(single.id);
    QTest::qWait(100);
    from = server->calls().size();
    sendToThePhone({file("a.jpg"), file("b<i>.jpg"), file("c.jpg")});
    ASSERT_TRUE(testing::waitFor(
        [&] { return !server->calls().empty() && server->calls().back().summary.startsWith("Received 3"); }));
    const auto offer = callsSince(from);
    for (const Call& call : offer) {
        EXPECT_EQ(call.id, offer.front().id) << "one notification, replaced in place";
        EXPECT_NE(call.id, single.id);
    }
    EXPECT_EQ(offer.back().summary, "Received 3 files from Studio");
    EXPECT_TRUE(offer.back().body.contains("b&lt;i&gt;.jpg")) << "names are not markup";
    EXPECT_TRUE(offer.back().actions.contains("reveal"));
}

TEST_F(NotificationsOnPrivateBus, NothingIsShownWhenTurnedOffOrWhileTheFocusedWindowShowsIt) {
    pairThroughTheNotification();
    const std::size_t from = server->calls().size();
    phoneSettings->setValue(DesktopNotifications::enabledKey, false);
    sendToThePhone({file("quiet.txt")});
    phoneSettings->setValue(DesktopNotifications::enabledKey, true);
    shownInFocusedWindow = Topic::received;
    sendToThePhone({file("seen.txt")});
    shownInFocusedWindow.reset();
    sendToThePhone({file("told.txt")});
    ASSERT_TRUE(testing::waitFor([&] { return server->calls().size() > from; }));
    const auto calls = callsSince(from);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls.front().summary, "Received told.txt from Studio");
}

TEST_F(NotificationsOnPrivateBus, AFailedSendSaysWhatAndWhy) {
    pairThroughTheNotification();
    const std::size_t from = server->calls().size();
    phone->send({folder.path() / "gone.txt"});
    ASSERT_TRUE(testing::waitFor([&] { return server->calls().size() > from; }));
    const Call failure = server->calls().back();
    EXPECT_EQ(failure.summary, "Couldn't send gone.txt to Studio");
    EXPECT_EQ(failure.body.toStdString(), phone->transfers().front().state.message);
}

} // namespace
} // namespace tarnwick
