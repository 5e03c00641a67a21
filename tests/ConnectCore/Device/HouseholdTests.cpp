// This device's engine with several real devices at once: each device is the peer tool in a network
// namespace of its own, joined to this one by a veth pair (tests/integration/with-household.sh), so a
// device can walk away by taking its link down.
#include "ConnectCore/Discovery/ConnectDialer.hpp"
#include "ConnectCore/Identity/DeviceTWCPIdentity.hpp"
#include "ConnectCore/Identity/PersistentIdentity.hpp"
#include "tests/Support/ChildProcess.hpp"
#include "tests/Support/DeviceUnderTest.hpp"
#include "tests/Support/RunCoroutine.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

/// One of the household's devices: the peer tool sending from its namespace to this device and staying.
class HouseholdDevice {
public:
    HouseholdDevice(int number, std::string name, std::uint16_t port, std::filesystem::path file,
                    const std::filesystem::path& base = std::filesystem::temp_directory_path())
        : number_(number),
          home_(base),
          process_({"nsenter", "-t",
                    std::getenv(("TARNWICK_DEVICE" + std::to_string(number) + "_PID").c_str()), "-n", "--",
                    TARNWICK_PEER_PROGRAM, "send", "--home", home_.path().string(), "--name", name,
                    "--address", "198.18." + std::to_string(number) + ".1:" + std::to_string(port), "--stay",
                    file.string()}) {}

    /// Reads the tool's output up to the first line that starts with `prefix`; false at its end.
    bool expect(const std::string& prefix) {
        for (std::string line = process_.readLine(); !line.empty(); line = process_.readLine()) {
            if (line.starts_with(prefix)) {
                return true;
            }
        }
        return false;
    }

    ~HouseholdDevice() {
        if (away_) {
            // Back for the next test, which may use the same namespace.
            std::system(linkCommand("up").c_str());
        }
    }

    /// Takes the device's only link down: no FIN or RST reaches this side.
    void walkAway() {
        away_ = true;
        ASSERT_EQ(std::system(linkCommand("down").c_str()), 0);
    }

private:
    std::string linkCommand(const std::string& state) const {
        const std::string number = std::to_string(number_);
        return "nsenter -t " + std::string(std::getenv(("TARNWICK_DEVICE" + number + "_PID").c_str())) +
               " -n -- ip link set d" + number + " " + state;
    }

    int number_;
    bool away_ = false;
    testing::TemporaryDirectory home_;
    testing::ChildProcess process_;
};

class HouseholdTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* marker = std::getenv("TARNWICK_HOUSEHOLD");
        if (!marker || std::string(marker) != "inside") {
            GTEST_SKIP() << "runs only on the private network with-household.sh makes";
        }
        device.emplace();
    }

    std::filesystem::path makeFile(const std::string& name, const std::string& contents) {
        const auto path = files / name;
        testing::appendToFile(path, contents);
        return path;
    }

    /// A sparse file of 2 GiB: long enough to be cut off in the middle.
    std::filesystem::path makeLargeFile(const std::string& name) {
        const auto path = files / name;
        std::ofstream(path).close();
        std::filesystem::resize_file(path, 2ull << 30);
        return path;
    }

    static std::string contents(const std::filesystem::path& file) {
        std::ifstream stream(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(stream), {});
    }

    /// The next device listed, by its fingerprint.
    std::string nextConnected() {
        return std::get<DeviceEvents::Connected>(device->waitFor<DeviceEvents::Connected>()).fingerprint;
    }

    std::exception_ptr outcomeOf(std::uint64_t transfer) {
        return std::get<DeviceEvents::TransferEnded>(device->waitFor([transfer](const DeviceEvent& event) {
                   const auto* ended = std::get_if<DeviceEvents::TransferEnded>(&event);
                   return ended && ended->transfer == transfer;
               }))
            .failure;
    }

    testing::TemporaryDirectory files{"/dev/shm"};
    std::optional<testing::DeviceUnderTest> device;
};

// Two devices stay connected together, each sends a file here and receives one from here, and a third one
// joins while both stay.
TEST_F(HouseholdTest, SeveralDevicesAreServedAtOnce) {
    HouseholdDevice phone(1, "Phone", device->port(), makeFile("from-phone.txt", "phone"));
    HouseholdDevice tablet(2, "Tablet", device->port(), makeFile("from-tablet.txt", "tablet"));
    const std::set<std::string> both{nextConnected(), nextConnected()};
    ASSERT_EQ(both.size(), 2u);
    device->waitFor<DeviceEvents::Received>();
    device->waitFor<DeviceEvents::Received>();
    EXPECT_EQ(contents(device->home() / "Downloads" / "from-phone.txt"), "phone");
    EXPECT_EQ(contents(device->home() / "Downloads" / "from-tablet.txt"), "tablet");

    std::uint64_t transfer = 0;
    for (const auto& fingerprint : both) {
        ++transfer;
        (*device)->send(transfer, fingerprint, {makeFile("to-" + std::to_string(transfer) + ".txt", "here")},
                        std::nullopt);
    }
    EXPECT_FALSE(outcomeOf(1));
    EXPECT_FALSE(outcomeOf(2));
    EXPECT_TRUE(phone.expect("received to-"));
    EXPECT_TRUE(tablet.expect("received to-"));

    HouseholdDevice laptop(3, "Laptop", device->port(), makeFile("from-laptop.txt", "laptop"));
    EXPECT_FALSE(both.contains(nextConnected()));
    EXPECT_EQ(device->count<DeviceEvents::Disconnected>(), 0u) << "the first two stay";
}

// A phone whose link goes down in the middle of a transfer sends no FIN: only keep-alive, the limit on
// unacknowledged data and pings notice it.
TEST_F(HouseholdTest, ADeviceThatWalksAwayIsNoticedWithinThirtySeconds) {
    HouseholdDevice phone(1, "Phone", device->port(), makeFile("hello.txt", "hello"), "/dev/shm");
    const std::string fingerprint = nextConnected();
    (*device)->send(1, fingerprint, {makeLargeFile("large.bin")}, std::nullopt);
    device->waitFor<DeviceEvents::TransferProgressed>(60s);
    phone.walkAway();
    const auto left = Clock::now();
    EXPECT_TRUE(outcomeOf(1)) << "the send fails";
    device->waitFor([&](const DeviceEvent& event) {
        const auto* gone = std::get_if<DeviceEvents::Disconnected>(&event);
        return gone && gone->fingerprint == fingerprint;
    });
    const auto noticedAfter = Clock::now() - left;
    std::cout << "a device that walked away was noticed after "
              << std::chrono::duration_cast<std::chrono::milliseconds>(noticedAfter).count() << " ms\n";
    EXPECT_LT(noticedAfter, 30s);
}

// Stopping in the middle of transfers both ways closes every connection in order, in bounded time.
TEST_F(HouseholdTest, StopEndsTransfersBothWaysWithinThreeSeconds) {
    HouseholdDevice phone(1, "Phone", device->port(), makeLargeFile("from-phone.bin"), "/dev/shm");
    const std::string fingerprint = nextConnected();
    (*device)->send(1, fingerprint, {makeLargeFile("to-phone.bin")}, std::nullopt);
    device->waitFor<DeviceEvents::TransferProgressed>(60s);
    const auto stopping = Clock::now();
    device->stop();
    const auto took = Clock::now() - stopping;
    std::cout << "stopped in the middle of two transfers in "
              << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms\n";
    EXPECT_LT(took, 3s);
    EXPECT_TRUE(outcomeOf(1)) << "the send that was cut off is not reported as done";
}

// Strangers that finish TLS and then say nothing hold at most their places; a real device connects and
// pairs at once all the same.
TEST_F(HouseholdTest, SilentConnectionsDoNotHoldOffARealDevice) {
    const DeviceIdentity stranger =
        PersistentIdentity::loadOrCreate(files / "stranger", "Stranger", DevicePlatform::iOS, "test");
    const auto tls = DeviceTWCPIdentity::trustOnFirstUse(stranger).tls();
    testing::Engine strangers;
    const auto silent =
        strangers.run([&]() -> asio::awaitable<std::vector<std::shared_ptr<TWCPNetworkChannel>>> {
            std::vector<std::shared_ptr<TWCPNetworkChannel>> channels;
            for (int i = 0; i < 11; ++i) {
                try {
                    channels.push_back(co_await ConnectDialer::connect(
                        {asio::ip::address_v4::loopback(), device->port()}, tls));
                } catch (const std::exception&) {
                    // Refused at once: this host already holds all the places it may.
                }
            }
            co_return channels;
        }());
    EXPECT_GE(silent.size(), 1u);
    const auto dialled = Clock::now();
    HouseholdDevice phone(1, "Phone", device->port(), makeFile("hello.txt", "hello"));
    nextConnected();
    EXPECT_LT(Clock::now() - dialled, 10s) << "long before the silent ones reach their deadline";
    EXPECT_TRUE(phone.expect("sent "));
    strangers.run([&]() -> asio::awaitable<void> {
        for (const auto& channel : silent) {
            co_await channel->close(TWCPError::peerClosed());
        }
    }());
}

} // namespace
} // namespace tarnwick
