#include "ConnectCore/WatchFolder/FileEventStream.hpp"
#include "tests/Support/RunCoroutine.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using Event = FileEventStream::Event;
using Kind = Event::Kind;

} // namespace

void PrintTo(const Event& event, std::ostream* out) {
    constexpr const char* kinds[] = {"changed ", "removed ", "rescan "};
    *out << kinds[static_cast<int>(event.kind)] << event.path;
}

namespace {

class FileEventStreamTest : public ::testing::Test {
protected:
    FileEventStreamTest() { std::filesystem::create_directories(root); }

    // Everything notified before a change to a marker file written now, which orders the events.
    std::vector<Event> eventsBeforeMarker(FileEventStream& stream) {
        const auto marker = root / ("marker" + std::to_string(++markers));
        testing::appendToFile(marker, "m");
        return engine.run(collectUntil(stream, marker));
    }

    static asio::awaitable<std::vector<Event>> collectUntil(FileEventStream& stream,
                                                            std::filesystem::path marker) {
        std::vector<Event> events;
        while (auto batch = co_await stream.next()) {
            for (auto& event : *batch) {
                if (event.path == marker) {
                    co_return events;
                }
                events.push_back(std::move(event));
            }
        }
        throw std::runtime_error("stream ended before the marker");
    }

    testing::Engine engine;
    testing::TemporaryDirectory scratch;
    const std::filesystem::path root = scratch / "watched";
    const std::filesystem::path outside = scratch / "outside";
    int markers = 0;
};

// Moving or renaming a folder moves existing files, which must not look like new arrivals; the folder
// is watched under its new name.
TEST_F(FileEventStreamTest, FoldersMovedInOrRenamedBringNoFileEventsButAreWatched) {
    std::filesystem::create_directories(root / "album");
    std::filesystem::create_directories(outside / "import");
    testing::appendToFile(root / "album" / "old.jpg", "x");
    testing::appendToFile(outside / "import" / "moved.jpg", "x");
    FileEventStream stream(engine.executor(), root);
    std::filesystem::rename(root / "album", root / "renamed");
    std::filesystem::rename(outside / "import", root / "import");
    EXPECT_EQ(eventsBeforeMarker(stream), std::vector<Event>{});
    testing::appendToFile(root / "renamed" / "new.jpg", "x");
    testing::appendToFile(root / "import" / "new.jpg", "x");
    const auto events = eventsBeforeMarker(stream);
    EXPECT_EQ(events.front(), (Event{Kind::changed, root / "renamed" / "new.jpg"}));
    EXPECT_EQ(events.back(), (Event{Kind::changed, root / "import" / "new.jpg"}));
}

TEST_F(FileEventStreamTest, FoldersMovedAwayAreNoLongerWatched) {
    std::filesystem::create_directories(root / "sub");
    std::filesystem::create_directories(outside);
    FileEventStream stream(engine.executor(), root);
    std::filesystem::rename(root / "sub", outside / "sub");
    testing::appendToFile(outside / "sub" / "elsewhere.txt", "x");
    EXPECT_EQ(eventsBeforeMarker(stream), std::vector<Event>{});
}

TEST_F(FileEventStreamTest, EndsWhenTheRootIsDeleted) {
    FileEventStream stream(engine.executor(), root);
    std::filesystem::remove_all(root);
    const auto ended = engine.run([&]() -> asio::awaitable<bool> {
        while (co_await stream.next()) {
        }
        co_return true;
    }());
    EXPECT_TRUE(ended);
    EXPECT_THROW(FileEventStream(engine.executor(), root), std::system_error);
}

} // namespace
} // namespace tarnwick
