// Application states that find each other by address on loopback, in a network namespace of the test's
// own (see tests/CMakeLists.txt): real TLS, real sessions, real files.
#include "ConnectUI/ViewModels/ConnectModel.hpp"
#include "tests/Support/LoopbackInstances.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace tarnwick {
namespace {

class NetworkNamespaceAppStateTest : public testing::LoopbackInstances {
protected:
    static void disconnect(Instance& instance) { instance->disconnect(instance->connectedDevices().front()); }
};

// The files arrive under their own names: angle brackets are ordinary characters in a file name.
TEST_F(NetworkNamespaceAppStateTest, ABatchIsListedNewestFirstFinishesTogetherAndArrivesWhole) {
    auto& mac = launch("Studio Mac");
    auto& laptop = launch("Laptop");
    testing::connectAndPair(*mac.state, *laptop.state);
    std::vector<std::filesystem::path> files;
    for (int i = 1; i <= 21; ++i) {
        files.push_back(mac.profile.folder / ("note <" + std::to_string(i) + ">.txt"));
        testing::appendToFile(files.back(), "note number " + std::to_string(i));
    }
    mac->send(files);
    ASSERT_EQ(mac->transfers().size(), 21u);
    EXPECT_EQ(mac->transfers().front().name, "note <21>.txt");
    EXPECT_EQ(mac->transfers().front().peerName, "Laptop");
    ASSERT_TRUE(testing::waitFor([&] { return mac->activeTransfers().empty(); }));
    for (const auto& item : mac->transfers()) {
        EXPECT_EQ(item.state, TransferItem::State::finished()) << item.name << ": " << item.state.message;
    }

    ASSERT_TRUE(testing::waitFor(
        [&] { return !laptop->received().empty() && laptop->received().front().name == "note <21>.txt"; }));
    EXPECT_EQ(laptop->received().size(), 20u);
    EXPECT_EQ(laptop->received().back().name, "note <2>.txt") << "newest first, the oldest pushed out";
    std::ifstream arrived(laptop->receiveFolder() / "note <7>.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(arrived), {}), "note number 7");
    EXPECT_EQ(laptop->receiveFolder(), laptop.profile.home.defaultDownloads);
}

// A device found by the address the user typed keeps it once paired, and is offered there when DNS-SD does
// not see it; forgetting the pairing forgets the address. A failed dial says whom it could not reach.
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
    EXPECT_FALSE(mac->connectError()) << "a new dial clears the last failure";
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
    ASSERT_TRUE(testing::waitFor([&] { return testing::lists(*mac.state, *laptop.state); }));
    EXPECT_FALSE(mac->pendingPairing()) << "paired: no code the second time";

    mac->paired().forget(mac->paired().devices().front());
    EXPECT_FALSE(mac->addresses().address(key));
}

TEST_F(NetworkNamespaceAppStateTest, ConnectingToAConnectedDeviceSelectsItAndSelectionMovesWhenOneLeaves) {
    auto& mac = launch("Studio Mac");
    auto& phone = launch("Phone");
    auto& tablet = launch("Tablet");
    testing::connectAndPair(*phone.state, *mac.state);
    EXPECT_EQ(mac->selectedPeerID(), phone->identity()->deviceID()) << "the first device is selected";
    mac->setSelectedPeerID(std::nullopt);
    mac->connect(testing::loopbackPeer(*phone.state));
    EXPECT_EQ(mac->selectedPeerID(), phone->identity()->deviceID());
    EXPECT_FALSE(mac->connecting()) << "selected, not dialled";

    testing::connectAndPair(*mac.state, *tablet.state);
    ASSERT_EQ(mac->connectedDevices().size(), 2u);
    mac->setSelectedPeerID(tablet->identity()->deviceID());
    mac->updatePeers({DiscoveredPeer{"PRINTER", "Printer", "KEY-PRINTER", {}, {}, {}, {}}});
    EXPECT_EQ(mac->selectedDestination()->name, "Tablet") << "discovery does not move a connected choice";

    mac->setSelectedPeerID(phone->identity()->deviceID());
    disconnect(phone);
    ASSERT_TRUE(testing::waitFor([&] { return mac->connectedDevices().size() == 1; }));
    EXPECT_EQ(mac->selectedPeerID(), tablet->identity()->deviceID()) << "selection moves to the one left";
    disconnect(tablet);
    ASSERT_TRUE(testing::waitFor([&] { return mac->connectedDevices().empty(); }));
    EXPECT_FALSE(mac->selectedPeerID()) << "the selected device left and none remains";
}

} // namespace
} // namespace tarnwick
