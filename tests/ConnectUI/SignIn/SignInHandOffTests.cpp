#include "ConnectUI/SignIn/SignInHandOff.hpp"
#include "tests/Support/QtApplication.hpp"
#include "tests/Support/ScopedEnvironment.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <QLocalSocket>
#include <QProcess>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick {
namespace {

/// The unprivileged "nobody" of Debian: another user of this computer.
constexpr uid_t otherUser = 65534;

/// A bound, not yet listening Unix socket at `path`.
int boundSocket(const std::string& path) {
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot bind " + path);
    }
    return socket;
}

class SignInHandOffTest : public ::testing::Test {
protected:
    SignInHandOffTest() {
        std::filesystem::create_directory(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        environment.set("XDG_RUNTIME_DIR", runtime.string());
        name = SignInHandOff::serverName(ApplicationHome::inProfile(home / "profile"));
    }

    void SetUp() override { testing::qtApplication(); }

    testing::TemporaryDirectory home;
    std::filesystem::path runtime = home / "run";
    testing::ScopedEnvironment environment;
    QString name;
    std::vector<std::string> received;
    SignInHandOff running;

    void listen() {
        ASSERT_TRUE(
            running.listen(name, [this](const std::string& address) { received.push_back(address); }));
    }
};

TEST_F(SignInHandOffTest, TheAddressReachesTheInstanceOfTheSameProfileThroughTheRuntimeFolder) {
    EXPECT_EQ(std::filesystem::path(name.toStdString()).parent_path(), runtime);
    EXPECT_NE(SignInHandOff::serverName(ApplicationHome::inProfile(home / "other")), name);
    EXPECT_FALSE(SignInHandOff::handOver(name, "tarnwickconnect://auth/callback?code=a")) << "nobody listens";

    listen();
    EXPECT_TRUE(std::filesystem::is_socket(name.toStdString()));
    SignInHandOff second;
    EXPECT_FALSE(second.listen(name, [](const std::string&) {})) << "one instance per profile";

    const std::string address = "tarnwickconnect://auth/callback?code=abc&state=def";
    EXPECT_TRUE(SignInHandOff::handOver(name, address));
    ASSERT_TRUE(testing::waitFor([&] { return !received.empty(); }));
    EXPECT_EQ(received, std::vector{address});
}

// A runtime folder another user could enter would let them take the name first.
TEST_F(SignInHandOffTest, WithoutAPrivateRuntimeFolderTheSocketLivesInTheProfilesPrivateFolder) {
    const ApplicationHome profile = ApplicationHome::inProfile(home / "profile");
    const std::vector<std::optional<std::string>> unusable{std::nullopt, "relative",
                                                           (home / "missing").string()};
    for (const auto& value : unusable) {
        environment.set("XDG_RUNTIME_DIR", value);
        EXPECT_EQ(SignInHandOff::serverName(profile).toStdString(), profile.supportFolder / "sign-in.socket");
    }
    std::filesystem::permissions(runtime, std::filesystem::perms::all);
    environment.set("XDG_RUNTIME_DIR", runtime.string());
    name = SignInHandOff::serverName(profile);
    EXPECT_EQ(name.toStdString(), profile.supportFolder / "sign-in.socket");

    listen();
    struct stat folder {};
    ASSERT_EQ(::stat(profile.supportFolder.c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700);
    EXPECT_TRUE(SignInHandOff::handOver(name, "tarnwickconnect://auth/callback?code=a"));
    EXPECT_TRUE(testing::waitFor([&] { return received.size() == 1; }));
}

// Even where the folder's modes let another user reach the socket, the instance takes nothing from them.
TEST_F(SignInHandOffTest, AClientOfAnotherUserIsRefused) {
    listen();
    for (const auto& path : {home.path(), runtime, std::filesystem::path(name.toStdString())}) {
        std::filesystem::permissions(path, std::filesystem::perms::all);
    }
    // curl sends a request line, which an instance that did not ask who is there would take for an address.
    QProcess client;
    client.start("setpriv", {"--reuid=" + QString::number(otherUser), "--regid=" + QString::number(otherUser),
                             "--clear-groups", "curl", "-s", "--max-time", "5", "--unix-socket", name,
                             "http://sign-in/"});
    ASSERT_TRUE(testing::waitFor([&] { return client.state() == QProcess::NotRunning; }));
    // 52 or 56: it connected, and the connection closed without an answer.
    EXPECT_TRUE(client.exitCode() == 52 || client.exitCode() == 56)
        << client.exitCode() << " " << client.readAllStandardError().toStdString();
    QTest::qWait(100);
    EXPECT_TRUE(received.empty());
}

TEST_F(SignInHandOffTest, TheAddressIsNotHandedToAListenerOfAnotherUser) {
    // The other user's listener binds the name first, as if they had taken it; the kernel records the
    // listener's user when it starts listening.
    const std::string path = name.toStdString();
    const int listener = boundSocket(path);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t other = ::fork();
    if (other == 0) {
        char got = 0;
        const bool dropped = ::setresgid(otherUser, otherUser, otherUser) == 0 &&
                             ::setresuid(otherUser, otherUser, otherUser) == 0 && ::listen(listener, 1) == 0;
        [[maybe_unused]] const auto told = ::write(ready[1], &got, 1);
        const int connection = dropped ? ::accept(listener, nullptr, nullptr) : -1;
        // Exit status 0: a client came and sent nothing.
        ::_exit(connection >= 0 && ::read(connection, &got, 1) == 0 ? 0 : 1);
    }
    ::close(listener);
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);

    EXPECT_FALSE(SignInHandOff::handOver(name, "tarnwickconnect://auth/callback?code=secret&state=s"));
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the other user's listener read the address";
}

TEST_F(SignInHandOffTest, ASocketLeftBehindIsReplacedAndAnEndlessSenderIsDropped) {
    // A listener that is gone without removing its socket file, as after a crash.
    ::close(boundSocket(name.toStdString()));
    ASSERT_TRUE(std::filesystem::exists(name.toStdString()));
    listen();

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
