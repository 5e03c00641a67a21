#include "ConnectCore/Transfer/TransferCoordinator.hpp"
#include "tests/ConnectCore/Transfer/TransferFixture.hpp"

#include <algorithm>
#include <mutex>

namespace tarnwick {
namespace {

using Kind = TWCPFrameKind;
using testing::MiB;

/// Two coordinators, one on each side of a session pair: the dialling one receives into `returnFolder`,
/// the accepting one into `receiveFolder`.
class EndToEndTest : public testing::TransferTest {
protected:
    testing::TemporaryFolder returnFolder;
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

// A file of several MiB crosses the chunk-size steps and the 4 MiB flow interval.
TEST_P(EndToEndTest, MultiMiBFileArrivesIntact) {
    connectBoth();
    const std::uint64_t size = 12 * MiB + 100;
    const Bytes bytes = testing::patternBytes(size);
    const auto path = sendFolder.write("large.bin", bytes);
    std::mutex mutex;
    std::vector<TransferProgress> progress;
    run([&]() -> asio::awaitable<void> {
        auto sending = startSend(dialling, {path}, [&](const TransferProgress& report) {
            std::lock_guard lock(mutex);
            progress.push_back(report);
        });
        const auto outcome = co_await sending.wait();
        EXPECT_EQ(outcome, std::nullopt);
    }());
    const auto files = received(*accepting, 1);
    EXPECT_EQ(files.at(0).byteCount, size);
    EXPECT_EQ(testing::readFile(files.at(0).path), bytes);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().sentBytes, size);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end(),
                               [](const auto& a, const auto& b) { return a.sentBytes < b.sentBytes; }));
    // Where the 4 MiB marks fall depends on the chunk sizes: at most one flow per 4 MiB, and they came.
    // Then one confirms the file.
    EXPECT_GE(framesOfKind(Kind::flow), 3u);
    EXPECT_LE(framesOfKind(Kind::flow), 4u);
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

// A connection lost mid-file keeps the partial file; an offer of the same file ID and size on a new
// connection resumes from it and the whole file is verified.
TEST_P(EndToEndTest, LostConnectionLeavesAPartialFileThatALaterOfferResumes) {
    connectBoth({.failAfterBytes = 700 * 1024});
    const Bytes bytes = testing::patternBytes(2 * MiB);
    const auto path = sendFolder.write("movie.mov", bytes);
    EXPECT_EQ(sendNow(dialling, {path}), TWCPError::peerClosed());
    run(acceptingLoopEnded->wait());
    const auto names = receiveFolder.names();
    ASSERT_EQ(names.size(), 1u);
    const std::string& partial = names.front();
    EXPECT_EQ(std::filesystem::file_size(receiveFolder / partial), TransferSender::firstChunkSize);
    const std::string suffix = "-" + std::to_string(bytes.size()) + ".part";
    ASSERT_TRUE(partial.starts_with(".") && partial.ends_with(suffix));
    const std::string fileID = partial.substr(1, partial.size() - 1 - suffix.size());

    connect();
    accepting = start(pair->responder, receiveFolder.path());
    testing::ScriptedPeer peer(pair->initiator.session);
    run([&]() -> asio::awaitable<void> {
        FileDescriptor file{fileID, "movie.mov", bytes.size(), "com.apple.quicktime-movie",
                            SHA256::digest(bytes)};
        const OfferMessage offer{"OFFER", std::vector{file}, std::nullopt};
        co_await peer.send(Kind::offer, offer, 1);
        const auto accept = co_await peer.expect<AcceptMessage>(Kind::accept);
        const std::uint64_t from = accept.resumeOffsets.at(fileID);
        EXPECT_EQ(from, TransferSender::firstChunkSize);
        co_await peer.sendChunk(1, from, ByteView(bytes).subspan(from));
        const CompleteMessage complete{fileID, bytes.size(), file.sha256};
        co_await peer.send(Kind::complete, complete, 1);
    }());
    const auto files = received(*accepting, 1);
    EXPECT_EQ(testing::readFile(files.at(0).path), bytes);
    EXPECT_EQ(receiveFolder.names(), std::vector<std::string>{"movie.mov"});
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
    std::mutex mutex;
    std::vector<TransferProgress> progress;
    run(dialling->retry(transfer, [&](const TransferProgress& report) {
        std::lock_guard lock(mutex);
        progress.push_back(report);
    }));
    EXPECT_EQ(testing::readFile(received(*accepting, 1).at(0).path), bytes);
    ASSERT_FALSE(progress.empty());
    // Chunks follow on from the resume offset, which the first report acknowledges.
    EXPECT_EQ(progress.front().acknowledgedBytes, held);
    EXPECT_LE(progress.front().sentBytes - held, TransferSender::largestChunkSize);
    EXPECT_EQ(progress.back().sentBytes, bytes.size());

    sendFolder.write("movie.mov", testing::patternBytes(MiB, 7));
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(1));
    progress.clear();
    run(dialling->retry(transfer, [&](const TransferProgress& report) { progress.push_back(report); }));
    EXPECT_EQ(progress.front().acknowledgedBytes, 0u);
    EXPECT_NE(progress.front().fileID, transfer.files.at(0).descriptor.fileID);
}

// Cancelling a send tells the receiver, which removes what it holds; cancelling a receive tells the
// sender, whose send ends with `cancelled`. Nothing stays in the receive folder either way.
TEST_P(EndToEndTest, EitherSideCancels) {
    outcomeWait = std::chrono::hours(1);
    connectBoth({.sendDelay = std::chrono::milliseconds(20)});
    const auto path = sendFolder.write("movie.mov", testing::patternBytes(8 * MiB));
    run([&]() -> asio::awaitable<void> {
        std::vector paths{path};
        const auto outgoing = co_await dialling->describe(paths, std::nullopt);
        testing::SendOutcome first(engine.executor());
        asio::co_spawn(engine.executor(), dialling->send(outgoing, {}), [first](std::exception_ptr error) {
            first.resume(error ? TWCPError::from(error) : std::nullopt);
        });
        co_await sleepFor(std::chrono::milliseconds(100));
        co_await dialling->cancel(outgoing.transferID);
        const auto outcome = co_await first.wait();
        EXPECT_EQ(outcome, TWCPError::cancelled());

        std::optional<std::string> offerID;
        co_await accepting->receiver()->setApproval(
            [&offerID](OfferMessage offer) -> asio::awaitable<TransferReceiver::Decision> {
                offerID = offer.offerID;
                co_return TransferReceiver::Decision::accept();
            });
        auto second = startSend(dialling, {path});
        while (!offerID) {
            co_await sleepFor(std::chrono::milliseconds(10));
        }
        co_await sleepFor(std::chrono::milliseconds(100));
        co_await accepting->cancel(*offerID);
        const auto refused = co_await second.wait();
        EXPECT_EQ(refused, TWCPError::cancelled());
        // An empty offer answered means the receiver has handled every frame before it.
        auto empty = startSend(dialling, {});
        co_await empty.wait();
    }());
    EXPECT_TRUE(receiveFolder.names().empty());
}

// A receiver that cannot create its partial files (here its folder is gone) answers the offer's first
// chunk with one error, and nothing else of the offer.
TEST_P(EndToEndTest, ReceiverFailureEndsTheSend) {
    connectBoth();
    std::filesystem::remove_all(receiveFolder.path());
    std::ofstream(receiveFolder.path()) << "not a folder";
    const auto paths = std::vector{sendFolder.write("photo.jpg", testing::patternBytes(1000)),
                                   sendFolder.write("movie.mov", testing::patternBytes(1000))};
    EXPECT_EQ(sendNow(dialling, paths), TWCPError::internalFailure("chunk failed"));
    // An empty offer answered means the receiver has handled every frame before it.
    EXPECT_EQ(sendNow(dialling, {}), std::nullopt);
    EXPECT_EQ(framesOfKind(Kind::error), 1u);
    std::filesystem::remove(receiveFolder.path());
    std::filesystem::create_directory(receiveFolder.path());
}

INSTANTIATE_TEST_SUITE_P(Threads, EndToEndTest, ::testing::Values(1, 2));

} // namespace
} // namespace tarnwick
