#include "ConnectUI/SignIn/SignInHandOff.hpp"
#include "tests/Support/QtApplication.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <QDir>
#include <QLocalSocket>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tarnwick {
namespace {

class SignInHandOffTest : public ::testing::Test {
protected:
    void SetUp() override { testing::qtApplication(); }

    testing::TemporaryDirectory home;
    QString name = SignInHandOff::serverName(home.path() / "config" / "Tarnwick Connect.ini");
};

TEST_F(SignInHandOffTest, TheAddressReachesTheInstanceOfTheSameProfileOnly) {
    const QString otherProfile = SignInHandOff::serverName(home.path() / "other" / "Tarnwick Connect.ini");
    EXPECT_NE(otherProfile, name);
    EXPECT_EQ(SignInHandOff::serverName(home.path() / "config" / "Tarnwick Connect.ini"), name);

    EXPECT_FALSE(SignInHandOff::handOver(name, "tarnwickconnect://auth/callback#a=1"))
        << "nobody listens yet";
    std::vector<std::string> received;
    SignInHandOff running;
    ASSERT_TRUE(running.listen(name, [&](const std::string& address) { received.push_back(address); }));
    SignInHandOff second;
    EXPECT_FALSE(second.listen(name, [](const std::string&) {})) << "one instance per profile";

    const std::string address = "tarnwickconnect://auth/callback#id_token=a.b.c&expires_in=60";
    EXPECT_TRUE(SignInHandOff::handOver(name, address));
    ASSERT_TRUE(testing::waitFor([&] { return !received.empty(); }));
    EXPECT_EQ(received, std::vector{address});
}

TEST_F(SignInHandOffTest, ASocketLeftBehindIsReplacedAndAnEndlessSenderIsDropped) {
    // A listener that is gone without removing its socket file, as after a crash.
    const std::string path = (QDir::tempPath() + "/" + name).toStdString();
    const int crashed = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(crashed, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(crashed);
    ASSERT_TRUE(std::filesystem::exists(path));

    std::vector<std::string> received;
    SignInHandOff running;
    ASSERT_TRUE(running.listen(name, [&](const std::string& address) { received.push_back(address); }));

    QLocalSocket flood;
    flood.connectToServer(name);
    ASSERT_TRUE(flood.waitForConnected(2000));
    flood.write(QByteArray(SignInHandOff::addressLimit + 10, 'x'));
    EXPECT_TRUE(testing::waitFor([&] {
        if (flood.state() == QLocalSocket::UnconnectedState) {
            return true;
        }
        flood.waitForBytesWritten(10);
        return false;
    }));
    EXPECT_TRUE(received.empty());
}

} // namespace
} // namespace tarnwick
