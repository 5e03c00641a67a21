// Application states that find each other by address on loopback, in a network namespace of the test's
// own (see tests/CMakeLists.txt): real TLS, real sessions, real files.
#include "ConnectUI/ViewModels/ConnectModel.hpp"
#include "tests/ConnectUI/AppState/LoopbackInstances.hpp"
#include "tests/Support/NetworkNamespace.hpp"
#include "tests/Support/ProfileSettings.hpp"
#include "tests/Support/QtApplication.hpp"
#include "tests/Support/ScopedEnvironment.hpp"

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

class NetworkNamespaceAppStateTest : public ::testing::Test {
protected:
    struct Instance {
        testing::ProfileSettings profile;
        std::unique_ptr<AppState> state;
        AppState* operator->() const { return state.get(); }
    };

    NetworkNamespaceAppStateTest() {
        // Each profile keeps its account in its own file, never in a keyring.
        environment.set("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tarnwick-no-bus");
    }

    void SetUp() override {
        const char* marker = std::getenv("TARNWICK_NETWORK_NAMESPACE");
        if (!marker || std::string(marker) != "inside") {
            GTEST_SKIP() << "listens and dials only in a network namespace made for it";
        }
        ASSERT_TRUE(testing::seesOnlyInterfaces({"lo"}));
        testing::qtApplication();
    }

    /// A started instance announcing `name`, signed in to an account (devices connect only then) whose
    /// registry is out of reach, which leaves the account in place.
    Instance& launch(const std::string& name) {
        auto& instance = instances.emplace_back(std::make_unique<Instance>());
        testing::storeAccount(instance->profile.home, testing::accountOf("user-" + name));
        instance->state = std::make_unique<AppState>(testing::loopbackSetup(instance->profile));
        instance->state->setDeviceName(name);
        instance->state->start();
        EXPECT_TRUE(testing::waitFor([&] { return instance->state->isSignedIn(); }));
        return *instance;
    }

    static DiscoveredPeer peerOf(const Instance& instance) { return testing::loopbackPeer(*instance.state); }

    static bool lists(const Instance& instance, const Instance& device) {
        return testing::lists(*instance.state, *device.state);
    }

    static void disconnect(Instance& instance) { instance->disconnect(instance->connectedDevices().front()); }

    static std::string contents(const std::filesystem::path& file) {
        std::ifstream stream(file, std::ios::binary);
        std::stringstream bytes;
        bytes << stream.rdbuf();
        return bytes.str();
    }

    testing::ScopedEnvironment environment;
    std::vector<std::unique_ptr<Instance>> instances;
};

TEST_F(NetworkNamespaceAppStateTest, FirstConnectionAsksForTheCodeOnBothSidesAndTheNextOneDoesNot) {
    auto& mac = launch("Studio Mac");
    auto& laptop = launch("Laptop");
    testing::connectAndPair(*mac.state, *laptop.state);
    EXPECT_TRUE(mac->paired().isPaired(laptop->identity()->spkiSHA256()));
    EXPECT_TRUE(laptop->paired().isPaired(mac->identity()->spkiSHA256()));

    disconnect(mac);
    ASSERT_TRUE(testing::waitFor(
        [&] { return mac->connectedDevices().empty() && laptop->connectedDevices().empty(); }));
    EXPECT_FALSE(mac->connecting());
    EXPECT_FALSE(mac->selectedPeerID()) << "the selected device left and none remains";

    mac->connect(peerOf(laptop));
    ASSERT_TRUE(testing::waitFor([&] { return lists(mac, laptop) && lists(laptop, mac); }));
    EXPECT_FALSE(mac->pendingPairing());
    EXPECT_FALSE(laptop->pendingPairing());
}

TEST_F(NetworkNamespaceAppStateTest, ABatchIsListedNewestFirstFinishesTogetherAndArrivesWhole) {
    auto& mac = launch("Studio Mac");
    auto& laptop = launch("Laptop");
    testing::connectAndPair(*mac.state, *laptop.state);
    std::vector<std::filesystem::path> files;
    for (int i = 1; i <= 21; ++i) {
        files.push_back(mac.profile.folder / ("note" + std::to_string(i) + ".txt"));
        testing::appendToFile(files.back(), "note number " + std::to_string(i));
    }
    mac->send(files);
    ASSERT_EQ(mac->transfers().size(), 21u);
    EXPECT_EQ(mac->transfers().front().name, "note21.txt");
    EXPECT_EQ(mac->transfers().front().peerName, "Laptop");
    ASSERT_TRUE(testing::waitFor([&] { return mac->activeTransfers().empty(); }));
    for (const auto& item : mac->transfers()) {
        EXPECT_EQ(item.state, TransferItem::State::finished()) << item.name;
    }

    ASSERT_TRUE(testing::waitFor(
        [&] { return !laptop->received().empty() && laptop->received().front().name == "note21.txt"; }));
    EXPECT_EQ(laptop->received().size(), 20u);
    EXPECT_EQ(laptop->received().back().name, "note2.txt") << "newest first, the oldest pushed out";
    EXPECT_EQ(contents(laptop->receiveFolder() / "note7.txt"), "note number 7");
    EXPECT_EQ(laptop->receiveFolder(), laptop.profile.home.defaultDownloads);
}

// Angle brackets are ordinary characters in a file name, all the way to the other device.
TEST_F(NetworkNamespaceAppStateTest, ANameWithAngleBracketsArrivesUnderThatName) {
    auto& mac = launch("Studio Mac");
    auto& laptop = launch("Laptop");
    testing::connectAndPair(*mac.state, *laptop.state);
    const auto file = mac.profile.folder / "notes <draft> v2 > v1.txt";
    testing::appendToFile(file, "angles");
    mac->send({file});
    ASSERT_TRUE(testing::waitFor([&] { return mac->activeTransfers().empty(); }));
    EXPECT_EQ(mac->transfers().front().state, TransferItem::State::finished())
        << mac->transfers().front().state.message;
    ASSERT_TRUE(testing::waitFor([&] { return !laptop->received().empty(); }));
    EXPECT_EQ(laptop->received().front().name, "notes <draft> v2 > v1.txt");
    EXPECT_EQ(contents(laptop->receiveFolder() / "notes <draft> v2 > v1.txt"), "angles");
}

TEST_F(NetworkNamespaceAppStateTest, FilesThatSettleInTheReceiveFolderAreNotSentBack) {
    auto& mac = launch("Studio Mac");
    auto& laptop = launch("Laptop");
    testing::connectAndPair(*mac.state, *laptop.state);
    std::filesystem::create_directories(laptop->receiveFolder());
    testing::appendToFile(laptop->receiveFolder() / "photo.jpg", "jpeg");
    laptop->sendFromWatchFolder(laptop->receiveFolder() / "photo.jpg");
    EXPECT_TRUE(laptop->transfers().empty());

    const auto sibling = laptop->receiveFolder().parent_path() / "Tarnwick Connect 2";
    std::filesystem::create_directories(sibling);
    testing::appendToFile(sibling / "photo.jpg", "jpeg");
    laptop->sendFromWatchFolder(sibling / "photo.jpg");
    ASSERT_EQ(laptop->transfers().size(), 1u) << "a folder that only begins with the same name is no inside";
    ASSERT_TRUE(testing::waitFor([&] { return !mac->received().empty(); }));
}

TEST_F(NetworkNamespaceAppStateTest, AFailedDialSaysWhomItCouldNotReachAndAllowsTheNextDial) {
    auto& mac = launch("Studio Mac");
    auto& laptop = launch("Laptop");
    auto gone = peerOf(laptop);
    gone.endpoint.port(1); // nothing listens there
    mac->connect(gone);
    EXPECT_EQ(mac->connecting(), gone.id);
    ASSERT_TRUE(testing::waitFor([&] { return mac->connectError().has_value(); }));
    EXPECT_EQ(mac->connectError(),
              "Could not reach Laptop. Make sure it is on this network and Tarnwick is open.");
    EXPECT_FALSE(mac->connecting());

    testing::connectAndPair(*mac.state, *laptop.state);
    EXPECT_FALSE(mac->connectError()) << "a new dial clears the last failure";
}

// A device found by the address the user typed keeps it once paired, and is offered there when DNS-SD does
// not see it; forgetting the pairing forgets the address.
TEST_F(NetworkNamespaceAppStateTest, ADeviceDialledByAddressIsOfferedThereWhenDiscoveryMissesIt) {
    auto& mac = launch("Studio Mac");
    auto& laptop = launch("Laptop");
    mac->connectTo("laptop");
    EXPECT_EQ(mac->connectError(), "\"laptop\" is not an address. Write it as host:port.");
    mac->connectTo("127.0.0.1:1");
    ASSERT_TRUE(testing::waitFor([&] { return mac->connectError() && !mac->connecting(); }));
    EXPECT_EQ(mac->connectError(),
              "Could not reach 127.0.0.1:1. Make sure it is on this network and Tarnwick is open.");

    const std::string address = "127.0.0.1:" + std::to_string(laptop->availability().port);
    testing::connectAndPair(*mac.state, *laptop.state, address);
    const std::string key = laptop->identity()->spkiSHA256();
    EXPECT_EQ(mac->addresses().address(key), address);
    EXPECT_FALSE(laptop->addresses().address(mac->identity()->spkiSHA256())) << "it did not dial";
    ConnectModel model(*mac.state);
    EXPECT_TRUE(model.nearbyPeers().isEmpty()) << "a connected device is not offered";

    disconnect(mac);
    ASSERT_TRUE(testing::waitFor([&] { return mac->connectedDevices().empty() && !mac->connecting(); }));
    ASSERT_EQ(model.nearbyPeers().size(), 1);
    const QVariantMap offered = model.nearbyPeers().front().toMap();
    EXPECT_EQ(offered["name"].toString(), "Laptop");
    EXPECT_EQ(offered["address"].toString().toStdString(), address);
    model.connectAddress(offered["address"].toString());
    ASSERT_TRUE(testing::waitFor([&] { return lists(mac, laptop); }));
    EXPECT_FALSE(mac->pendingPairing()) << "paired: no code the second time";

    mac->paired().forget(mac->paired().devices().front());
    EXPECT_FALSE(mac->addresses().address(key));
}

// A device that comes back under a paired name with another key (reset, or an impostor) is not offered
// as an ordinary pairing; each prompt names the key it shows and where the peer connected from.
TEST_F(NetworkNamespaceAppStateTest, APairedNameWithANewKeyGetsTheWarningPrompt) {
    auto& mac = launch("Studio Mac");
    auto& laptop = launch("Laptop");
    testing::connectAndPair(*laptop.state, *mac.state);
    auto& impostor = launch("Laptop");
    impostor->connect(peerOf(mac));
    ASSERT_TRUE(testing::waitFor([&] { return impostor->pendingPairing().has_value(); }));
    EXPECT_FALSE(impostor->pairingWarning()) << "the impostor's side never paired the Mac";
    EXPECT_EQ(impostor->pairingDetails(),
              "Key " + mac->identity()->spkiSHA256().substr(0, 8) + ", from 127.0.0.1");
    impostor->approvePendingPairing();

    ASSERT_TRUE(testing::waitFor([&] { return mac->pendingPairing().has_value(); }));
    EXPECT_EQ(mac->pairingWarning(),
              "Laptop presents a different key than before. Pair only if you reset it.");
    EXPECT_EQ(mac->pairingDetails(),
              "Key " + impostor->identity()->spkiSHA256().substr(0, 8) + ", from 127.0.0.1");
    mac->rejectPendingPairing();
    EXPECT_FALSE(mac->pairingWarning());
    EXPECT_FALSE(mac->paired().isPaired(impostor->identity()->spkiSHA256()));
}

TEST_F(NetworkNamespaceAppStateTest, ConnectingToAConnectedDeviceSelectsItAndSelectionMovesWhenOneLeaves) {
    auto& mac = launch("Studio Mac");
    auto& phone = launch("Phone");
    auto& tablet = launch("Tablet");
    testing::connectAndPair(*phone.state, *mac.state);
    EXPECT_EQ(mac->selectedPeerID(), phone->identity()->deviceID()) << "the first device is selected";
    mac->setSelectedPeerID(std::nullopt);
    mac->connect(peerOf(phone));
    EXPECT_EQ(mac->selectedPeerID(), phone->identity()->deviceID());
    EXPECT_FALSE(mac->connecting()) << "selected, not dialled";

    testing::connectAndPair(*mac.state, *tablet.state);
    ASSERT_EQ(mac->connectedDevices().size(), 2u);
    disconnect(phone);
    ASSERT_TRUE(testing::waitFor([&] { return mac->connectedDevices().size() == 1; }));
    EXPECT_EQ(mac->selectedPeerID(), tablet->identity()->deviceID()) << "selection moves to the one left";
}

} // namespace
} // namespace tarnwick
