#include "ConnectCore/Transfer/TransferCoordinator.hpp"
#include "tests/ConnectCore/Transfer/TransferFixture.hpp"

#include <algorithm>

namespace tarnwick {
namespace {

using Kind = TWCPFrameKind;
using testing::MiB;

/// Two coordinators, one on each side of a session pair: the dialling one receives into `returnFolder`,
/// the accepting one into `receiveFolder`.
class EndToEndTest : public testing::TransferTest {
protected:
    testing::TemporaryDirectory returnFolder;
    std::shared_ptr<TransferCoordinator> dialling;
    std::shared_ptr<TransferCoordinator> accepting;
    std::shared_ptr<Completion<bool>> acceptingLoopEnded;

    void connectBoth(InMemoryChannel::Faults faults = {}) {
        connect(faults);
        acceptingLoopEnded = std::make_shared<Completion<bool>>(engine.executor());
        dialling = start(pair->initiator, returnFolder.path());
        accepting = start(pair->responder, receiveFolder.path(), acceptingLoopEnded);
    }

    std::vector<ReceivedFile> received(TransferCoordinator& coordinator, std::size_t count) {
        return run([](AsyncQueue<ReceivedFile> completed,
                      std::size_t count) -> asio::awaitable<std::vector<ReceivedFile>> {
            std::vector<ReceivedFile> files;
            while (files.size() < count) {
                auto file = co_await completed.next();
                files.push_back(std::move(*file));
            }
            co_return files;
        }(coordinator.receiver()->completed(), count));
    }

    std::size_t framesOfKind(Kind kind) const {
        return std::count(pair->wire->begin(), pair->wire->end(), kind);
    }
};

// One offer of several files (each spanning more than one chunk), another offer at the same time, and an
// offer the other way: every file arrives intact under its own name.
TEST_P(EndToEndTest, FilesMoveBothWaysAtOnce) {
    // The receiver confirms each file, so no send waits this out.
    outcomeWait = std::chrono::hours(1);
    connectBoth();
    const Bytes first = testing::patternBytes(700 * 1024, 1);
    const Bytes second = testing::patternBytes(600 * 1024, 2);
    const Bytes alone = testing::patternBytes(1000, 3);
    const Bytes back = testing::patternBytes(5000, 4);
    const auto offerPaths =
        std::vector{sendFolder.write("first.jpg", first), sendFolder.write("second.mov", second),
                    sendFolder.write("empty.txt", {})};
    const auto alonePath = sendFolder.write("alone.pdf", alone);
    const auto backPath = sendFolder.write("back.bin", back);
    run([&]() -> asio::awaitable<void> {
        auto offer = startSend(dialling, offerPaths);
        auto single = startSend(dialling, {alonePath});
        auto reverse = startSend(accepting, {backPath});
        const auto offerOutcome = co_await offer.wait();
        const auto singleOutcome = co_await single.wait();
        const auto reverseOutcome = co_await reverse.wait();
        EXPECT_EQ(offerOutcome, std::nullopt);
        EXPECT_EQ(singleOutcome, std::nullopt);
        EXPECT_EQ(reverseOutcome, std::nullopt);
    }());
    auto files = received(*accepting, 4);
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    EXPECT_EQ(receiveFolder.names(),
              (std::vector<std::string>{"alone.pdf", "empty.txt", "first.jpg", "second.mov"}));
    EXPECT_EQ(files[1].byteCount, 0u);
    EXPECT_EQ(testing::readFile(receiveFolder / "first.jpg"), first);
    EXPECT_EQ(testing::readFile(receiveFolder / "second.mov"), second);
    EXPECT_EQ(testing::readFile(receiveFolder / "alone.pdf"), alone);
    const auto backFiles = received(*dialling, 1);
    EXPECT_EQ(testing::readFile(backFiles.at(0).path), back);
}

// A Linux name is bytes: one that is not UTF-8 is offered with U+FFFD in place of the bad byte, and the
// file is still read by its real name.
TEST_P(EndToEndTest, NameThatIsNotUTF8IsSentWithAReplacementCharacter) {
    outcomeWait = std::chrono::hours(1);
    connectBoth();
    const Bytes bytes = testing::patternBytes(3000);
    const auto path = sendFolder.write("caf\xE9 menu.txt", bytes);
    EXPECT_EQ(sendNow(dialling, {path}), std::nullopt);
    const auto files = received(*accepting, 1);
    EXPECT_EQ(files.at(0).name, "caf\uFFFD menu.txt");
    EXPECT_EQ(testing::readFile(files.at(0).path), bytes);
}

// The peer's digest check catches a chunk damaged on the way; nothing damaged is kept, and the send
// that had already written its complete fails with the peer's refusal.
TEST_P(EndToEndTest, DamagedChunkIsCaughtAndTheSendFails) {
    outcomeWait = std::chrono::hours(1);
    connectBoth({.corruptChunkAtIndex = 1});
    const auto path = sendFolder.write("photo.jpg", testing::patternBytes(MiB));
    EXPECT_EQ(sendNow(dialling, {path}), TWCPError::integrityMismatch("complete failed"));
    EXPECT_TRUE(receiveFolder.names().empty());
    EXPECT_EQ(framesOfKind(Kind::error), 1u);
}

// A send cut by the connection is retried on the next one with the same file IDs: the receiver resumes
// from its partial file and only the remainder crosses the wire. A file changed since is sent whole.
TEST_P(EndToEndTest, RetryAfterACutConnectionSendsOnlyTheRemainder) {
    outcomeWait = std::chrono::hours(1);
    connectBoth({.failAfterBytes = 700 * 1024});
    const Bytes bytes = testing::patternBytes(2 * MiB);
    const auto path = sendFolder.write("movie.mov", bytes);
    const auto transfer = run(dialling->describe({path}, std::nullopt));
    EXPECT_THROW(run(dialling->send(transfer, {})), TWCPError);
    run(acceptingLoopEnded->wait());
    const std::uint64_t held = TransferSender::firstChunkSize;

    connectBoth();
    testing::ProgressLog log;
    const auto& progress = log.reports;
    run(dialling->retry(transfer, log.callback()));
    EXPECT_EQ(testing::readFile(received(*accepting, 1).at(0).path), bytes);
    EXPECT_EQ(receiveFolder.names(), std::vector<std::string>{"movie.mov"}) << "no partial file stays";
    ASSERT_FALSE(progress.empty());
    // Chunks follow on from the resume offset, which the first report acknowledges.
    EXPECT_EQ(progress.front().acknowledgedBytes, held);
    EXPECT_LE(progress.front().sentBytes - held, TransferSender::largestChunkSize);
    EXPECT_EQ(progress.back().sentBytes, bytes.size());

    sendFolder.write("movie.mov", testing::patternBytes(MiB, 7));
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(1));
    log.reports.clear();
    run(dialling->retry(transfer, log.callback()));
    EXPECT_EQ(progress.front().acknowledgedBytes, 0u);
    EXPECT_NE(progress.front().fileID, transfer.files.at(0).descriptor.fileID);
}

INSTANTIATE_TEST_SUITE_P(Threads, EndToEndTest, ::testing::Values(1, 2));

} // namespace
} // namespace tarnwick
