#include "ConnectCore/Async/AsyncQueue.hpp"
#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/WatchFolder/WatchFolder.hpp"
#include "tests/Support/RunCoroutine.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <asio/experimental/awaitable_operators.hpp>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace asio::experimental::awaitable_operators;
using namespace std::chrono_literals;
using std::filesystem::path;

// Short quiet period and poll interval keep the suite fast; the rules do not depend on their length.
constexpr auto quietPeriod = 300ms;
constexpr WatchFolder::Options fast{.pollInterval = 100ms};
// Long enough for a quiet file to be reported: the quiet period plus a few polls.
constexpr auto reportLimit = 2s;

class WatchFolderTest : public ::testing::Test {
protected:
    void startWatching(WatchFolder::Options options = fast, std::optional<std::uint64_t> since = {}) {
        watcher = std::make_shared<WatchFolder>(
            engine.executor(), folder.path(), detector, [this](const path& file) { reports.push(file); },
            options);
        watcher->start(since);
    }

    // The next report, or none when nothing comes within the limit.
    asio::awaitable<std::optional<path>> nextReport(std::chrono::milliseconds limit = reportLimit) {
        auto race = reports.next() || sleepFor(limit);
        const auto result = co_await std::move(race);
        co_return result.index() == 0 ? std::get<0>(result) : std::nullopt;
    }

    testing::Engine engine{2};
    testing::TemporaryDirectory folder;
    AsyncQueue<path> reports{engine.executor()};
    std::shared_ptr<FileSettleDetector> detector =
        std::make_shared<FileSettleDetector>(engine.executor(), quietPeriod);
    std::shared_ptr<WatchFolder> watcher;
};

TEST_F(WatchFolderTest, SlowCopyIsReportedOnceAfterItStopsGrowingAndAgainPerVersion) {
    testing::appendToFile(folder / "before.txt", "old");
    std::filesystem::create_directory(folder / "sub");
    testing::appendToFile(folder / "sub" / "before.txt", "old");
    startWatching(fast, 41);
    engine.run([&]() -> asio::awaitable<void> {
        const auto copy = folder / "copy.bin";
        for (int piece = 0; piece < 8; ++piece) {
            testing::appendToFile(copy, std::string(64 * 1024, 'c'));
            co_await sleepFor(150ms);
        }
        const auto lastWrite = std::chrono::steady_clock::now() - 150ms;
        EXPECT_EQ(co_await nextReport(), copy);
        EXPECT_GE(std::chrono::steady_clock::now() - lastWrite, quietPeriod);
        EXPECT_EQ(co_await nextReport(1s), std::nullopt);
        // New versions, of the copy and of a file that was there before.
        testing::appendToFile(copy, "more");
        EXPECT_EQ(co_await nextReport(), copy);
        testing::appendToFile(folder / "before.txt", "new");
        EXPECT_EQ(co_await nextReport(), folder / "before.txt");
        EXPECT_EQ(co_await nextReport(600ms), std::nullopt);
    }());
    EXPECT_GT(watcher->lastEventID().value_or(0), 41u);
}

TEST_F(WatchFolderTest, TemporaryNamesAndFoldersAreNeverReportedFilesInNewSubfoldersAre) {
    startWatching();
    engine.run([&]() -> asio::awaitable<void> {
        testing::appendToFile(folder / "clip.mov.part", "x");
        testing::appendToFile(folder / ".hidden", "x");
        testing::appendToFile(folder / "render_temp.mov", "x");
        std::filesystem::create_directories(folder / "day" / "raw");
        testing::appendToFile(folder / "day" / "raw" / "photo.jpg", "jpeg");
        EXPECT_EQ(co_await nextReport(), folder / "day" / "raw" / "photo.jpg");
        EXPECT_EQ(co_await nextReport(800ms), std::nullopt);
    }());
}

TEST_F(WatchFolderTest, LockedFileWaitsForItsWriter) {
    startWatching();
    const auto file = folder / "export.psd";
    // Locks belong to an open file description, so a second open stands for another process.
    const int writer = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    ASSERT_EQ(::write(writer, "psd", 3), 3);
    engine.run([&]() -> asio::awaitable<void> {
        EXPECT_EQ(co_await nextReport(1200ms), std::nullopt);
        ::close(writer);
        EXPECT_EQ(co_await nextReport(), file);
    }());
}

TEST_F(WatchFolderTest, RemovalDropsPendingFilesAndLetsANewFileOfTheSameNameBeReported) {
    startWatching();
    engine.run([&]() -> asio::awaitable<void> {
        testing::appendToFile(folder / "short-lived.txt", "x");
        co_await sleepFor(100ms);
        std::filesystem::remove(folder / "short-lived.txt");
        EXPECT_EQ(co_await nextReport(1s), std::nullopt);

        const auto file = folder / "again.txt";
        testing::appendToFile(file, "first");
        EXPECT_EQ(co_await nextReport(), file);
        const auto reported = std::filesystem::last_write_time(file);
        std::filesystem::remove(file);
        co_await sleepFor(100ms);
        // Even with the reported version's modification time, a file moved in after the removal is new.
        const testing::TemporaryDirectory elsewhere;
        testing::appendToFile(elsewhere / "again.txt", "second");
        std::filesystem::last_write_time(elsewhere / "again.txt", reported);
        std::filesystem::rename(elsewhere / "again.txt", file);
        EXPECT_EQ(co_await nextReport(), file);
    }());
}

// Once notifications work, the folder is no longer rescanned, so files whose notifications were lost
// are found only because the overflow asks for a rescan.
TEST_F(WatchFolderTest, QueueOverflowLeadsToARescan) {
    std::uint64_t queueLimit = 0;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> queueLimit;
    if (queueLimit == 0 || queueLimit > 1'000'000) {
        GTEST_SKIP() << "inotify queue limit unknown or too large to fill";
    }
    startWatching();
    engine.run([&]() -> asio::awaitable<void> {
        testing::appendToFile(folder / "first.txt", "x");
        EXPECT_EQ(co_await nextReport(), folder / "first.txt");
    }());
    // Nothing reads notifications between runs: fill the queue with changes to two hidden files,
    // alternating so that the kernel cannot merge them, then add the file whose notification is lost.
    {
        std::ofstream a(folder / ".flood-a"), b(folder / ".flood-b");
        for (std::uint64_t i = 0; i <= queueLimit / 2 + 1; ++i) {
            a.put('a').flush();
            b.put('b').flush();
        }
    }
    testing::appendToFile(folder / "lost.txt", "x");
    engine.run([&]() -> asio::awaitable<void> { EXPECT_EQ(co_await nextReport(), folder / "lost.txt"); }());
}

TEST_F(WatchFolderTest, RescanResumesWhenTheFolderItselfIsReplaced) {
    startWatching();
    engine.run([&]() -> asio::awaitable<void> {
        testing::appendToFile(folder / "first.txt", "x");
        EXPECT_EQ(co_await nextReport(), folder / "first.txt");
        std::filesystem::remove_all(folder.path());
        std::filesystem::create_directory(folder.path());
        co_await sleepFor(100ms);
        testing::appendToFile(folder / "second.txt", "x");
        EXPECT_EQ(co_await nextReport(), folder / "second.txt");
    }());
    EXPECT_EQ(watcher->lastEventID(), std::nullopt);
}

// A stopped watcher is the device's unwatch, tested there; one dropped without a stop goes quiet too.
TEST_F(WatchFolderTest, NothingIsReportedOnceDropped) {
    startWatching();
    engine.run([&]() -> asio::awaitable<void> {
        testing::appendToFile(folder / "b.txt", "x");
        co_await sleepFor(100ms);
        watcher.reset();
        EXPECT_EQ(co_await nextReport(800ms), std::nullopt);
    }());
}

} // namespace
} // namespace tarnwick
