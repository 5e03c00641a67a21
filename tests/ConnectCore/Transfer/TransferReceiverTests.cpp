#include "ConnectCore/Transfer/TransferReceiver.hpp"
#include "TarnwickConnectProtocol/Messages/RejectMessage.hpp"
#include "tests/ConnectCore/Transfer/TransferFixture.hpp"
#include "tests/Support/FileSizeLimit.hpp"

#include <array>
#include <cstdlib>
#include <cstring>
#include <sys/mount.h>

namespace tarnwick {
namespace {

using Kind = TWCPFrameKind;
using testing::describe;
using testing::MiB;
using testing::ScriptedPeer;

/// A scripted peer offers and sends; the coordinator on the responder's side receives.
class ReceiverTest : public testing::TransferTest {
protected:
    std::shared_ptr<TransferCoordinator> coordinator;
    std::unique_ptr<ScriptedPeer> peer;

    void SetUp() override {
        connect();
        coordinator = start(pair->responder, receiveFolder.path());
        peer = std::make_unique<ScriptedPeer>(pair->initiator.session);
    }

    TransferReceiver& receiver() { return *coordinator->receiver(); }

    std::filesystem::path partialPath(const FileDescriptor& file) const {
        return receiveFolder / ("." + file.fileID + "-" + std::to_string(file.byteCount) + ".part");
    }

    /// Offers the files on the stream and returns the answer's resume offsets.
    asio::awaitable<std::map<std::string, std::uint64_t>> offer(std::vector<FileDescriptor> files,
                                                                std::uint64_t streamID) {
        const OfferMessage message{"OFFER-" + std::to_string(streamID), std::move(files), std::nullopt};
        co_await peer->send(Kind::offer, message, streamID);
        const auto accept = co_await peer->expect<AcceptMessage>(Kind::accept);
        EXPECT_EQ(accept.offerID, message.offerID);
        co_return accept.resumeOffsets;
    }

    /// Sends the file's bytes from `from` in chunks of at most `chunkSize`, then its complete.
    asio::awaitable<void> sendFile(std::uint64_t streamID, FileDescriptor file, Bytes bytes,
                                   std::uint64_t from = 0, std::uint64_t chunkSize = MiB) {
        for (std::uint64_t offset = from; offset < bytes.size(); offset += chunkSize) {
            const auto length = std::min<std::uint64_t>(chunkSize, bytes.size() - offset);
            co_await peer->sendChunk(streamID, offset, ByteView(bytes).subspan(offset, length));
        }
        const CompleteMessage complete{file.fileID, file.byteCount, file.sha256};
        co_await peer->send(Kind::complete, complete, streamID);
    }

    asio::awaitable<ReceivedFile> nextReceived() {
        auto completed = receiver().completed();
        auto file = co_await completed.next();
        co_return std::move(*file);
    }

    /// The next frame must be an error with this code answering a frame of this kind on the stream.
    asio::awaitable<void> expectError(std::uint16_t code, std::string failedKind, std::uint64_t streamID) {
        const TWCPFrame frame = co_await peer->next();
        EXPECT_EQ(frame.header.streamID, streamID);
        const auto error = frame.decode<ErrorMessage>(Kind::error);
        EXPECT_EQ(error.code, code);
        EXPECT_EQ(error.message, failedKind + " failed");
    }
};

// Several files of one offer arrive one after another on its stream, each under a safe name of its own
// inside the folder, whatever the offered name.
TEST_P(ReceiverTest, OfferedNamesArePlacedSafelyAndCollisionsGetTheNextFreeNumber) {
    receiveFolder.write("photo.jpg", {});
    receiveFolder.write("photo 2.jpg", {});
    receiveFolder.write("notes", {});
    const std::array<std::string, 8> offered{
        "photo.jpg", "notes", "..", "....", "photo.jpg", "../../outside.txt", "/etc/passwd", "a/b\\c.txt"};
    const std::array<std::string, 8> placed{"photo 3.jpg", "notes 2",     "Untitled", "Untitled 2",
                                            "photo 4.jpg", "outside.txt", "passwd",   "c.txt"};
    run([&]() -> asio::awaitable<void> {
        std::vector<FileDescriptor> files;
        std::vector<Bytes> contents;
        for (std::size_t i = 0; i < offered.size(); ++i) {
            contents.push_back(testing::patternBytes(1000 + i, static_cast<std::uint32_t>(i)));
            files.push_back(describe("FILE-" + std::to_string(i), offered[i], contents.back()));
        }
        co_await offer(files, 1);
        for (std::size_t i = 0; i < files.size(); ++i) {
            co_await sendFile(1, files[i], contents[i]);
            const ReceivedFile received = co_await nextReceived();
            EXPECT_EQ(received.name, placed[i]) << offered[i];
            EXPECT_EQ(received.originalName, std::optional(offered[i]));
            EXPECT_EQ(received.path, receiveFolder / placed[i]);
            EXPECT_EQ(testing::readFile(received.path), contents[i]);
        }
    }());
    EXPECT_FALSE(std::filesystem::exists(receiveFolder.path().parent_path() / "outside.txt"));
}

// File IDs name partial files: only plain, distinct tokens are taken, before anyone is asked.
TEST_P(ReceiverTest, HostileFileIDsAreRefusedBeforeAnythingIsCreated) {
    bool asked = false;
    TransferReceiver::Approval approval =
        [&asked](OfferMessage) -> asio::awaitable<TransferReceiver::Decision> {
        asked = true;
        co_return TransferReceiver::Decision::accept();
    };
    const std::array<std::string, 9> hostile{
        "../escape", "a/b", "a\\b", "..", "a..b", std::string("x\0y", 3), "tab\t", "", std::string(65, 'A')};
    const Bytes bytes = testing::patternBytes(10);
    run([&]() -> asio::awaitable<void> {
        co_await receiver().setApproval(approval);
        std::uint64_t streamID = 1;
        for (const auto& fileID : hostile) {
            const OfferMessage message{"OFFER", {describe(fileID, "a.txt", bytes)}, {}};
            co_await peer->send(Kind::offer, message, streamID);
            co_await expectError(1401, "offer", streamID);
            streamID += 2;
        }
        const auto twin = describe("SAME", "a.txt", bytes);
        const OfferMessage duplicates{"OFFER", {twin, twin}, {}};
        co_await peer->send(Kind::offer, duplicates, streamID);
        co_await expectError(1401, "offer", streamID);
    }());
    EXPECT_FALSE(asked);
    EXPECT_TRUE(receiveFolder.names().empty());
}

// A partial file that is empty, or holds all or more than all of the offered bytes, is not resumed (the
// end-to-end retry resumes a usable one); each starts afresh only when its own first chunk comes.
TEST_P(ReceiverTest, UnusablePartialFilesStartAfreshOnlyWhenTheirFirstChunkComes) {
    const Bytes bytes = testing::patternBytes(1000);
    const std::vector files{describe("EMPTY", "b", bytes), describe("FULL", "c", bytes),
                            describe("LONGER", "d", bytes)};
    const std::array<std::size_t, 3> lengths{0, 1000, 1200};
    for (std::size_t i = 0; i < files.size(); ++i) {
        receiveFolder.write(partialPath(files[i]).filename(), testing::patternBytes(lengths[i], 9));
    }
    run([&]() -> asio::awaitable<void> {
        const auto offsets = co_await offer(files, 1);
        EXPECT_EQ(offsets, (std::map<std::string, std::uint64_t>{{"EMPTY", 0}, {"FULL", 0}, {"LONGER", 0}}));
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(std::filesystem::file_size(partialPath(files[i])), lengths[i]) << files[i].fileID;
        }
        co_await sendFile(1, files[0], bytes);
        co_await sendFile(1, files[1], bytes);
        co_await nextReceived();
        const ReceivedFile second = co_await nextReceived();
        EXPECT_EQ(testing::readFile(second.path), bytes);
    }());
    EXPECT_FALSE(std::filesystem::exists(partialPath(files[1])));
}

TEST_P(ReceiverTest, ChunksMustContinueExactlyWhereTheFileEnds) {
    const Bytes bytes = testing::patternBytes(2000);
    const auto file = describe("FILE", "a.bin", bytes);
    run([&]() -> asio::awaitable<void> {
        const std::vector files{file};
        co_await offer(files, 1);
        const ByteView all(bytes);
        co_await peer->sendChunk(1, 0, all.first(1500));
        co_await peer->sendChunk(1, 1000, all.subspan(1000, 1000));
        co_await expectError(1201, "chunk", 1);
        EXPECT_EQ(std::filesystem::file_size(partialPath(file)), 1500u);
        // Beyond the offered size, or without data: refused, nothing written.
        const Bytes tooLong = testing::patternBytes(501);
        co_await peer->sendChunk(1, 1500, tooLong);
        co_await expectError(1201, "chunk", 1);
        const Bytes nothing;
        co_await peer->sendChunk(1, 1500, nothing);
        co_await expectError(1401, "chunk", 1);
        EXPECT_EQ(std::filesystem::file_size(partialPath(file)), 1500u);
        co_await sendFile(1, file, bytes, 1500);
        const ReceivedFile received = co_await nextReceived();
        EXPECT_EQ(testing::readFile(received.path), bytes);
    }());
}

// A complete that names another size fails the file and deletes what it held; the file is then gone.
TEST_P(ReceiverTest, CompleteWithAnotherSizeDeletesThePartialFile) {
    const Bytes bytes = testing::patternBytes(1000);
    auto longer = describe("LONGER", "a.bin", bytes);
    run([&]() -> asio::awaitable<void> {
        const std::vector files{longer};
        co_await offer(files, 1);
        longer.byteCount += 1;
        co_await sendFile(1, longer, bytes);
        co_await expectError(1201, "complete", 1);
        const CompleteMessage again{longer.fileID, 1001, longer.sha256};
        co_await peer->send(Kind::complete, again, 1);
        co_await expectError(1200, "complete", 1);
    }());
    EXPECT_TRUE(receiveFolder.names().empty());
}

// One flow per 4 MiB written since the last one, or since the resume point, and one for the whole of the
// offer's last file once it is placed, which confirms the offer.
TEST_P(ReceiverTest, FlowReportsEvery4MiBWritten) {
    const Bytes fresh = testing::patternBytes(9 * MiB, 1);
    const Bytes resumed = testing::patternBytes(8 * MiB, 2);
    const auto freshFile = describe("FRESH", "fresh.bin", fresh);
    const auto resumedFile = describe("RESUMED", "resumed.bin", resumed);
    receiveFolder.write(partialPath(resumedFile).filename(),
                        Bytes(resumed.begin(), resumed.begin() + 3 * MiB));
    std::vector<FlowMessage> flows;
    run([&]() -> asio::awaitable<void> {
        const std::vector files{freshFile, resumedFile};
        co_await offer(files, 1);
        co_await sendFile(1, freshFile, fresh);
        co_await sendFile(1, resumedFile, resumed, 3 * MiB);
        for (int i = 0; i < 4; ++i) {
            flows.push_back(co_await peer->expect<FlowMessage>(Kind::flow));
        }
        co_await peer->expectNothingBeforeMarker();
    }());
    EXPECT_EQ(flows,
              (std::vector<FlowMessage>{
                  {"FRESH", 4 * MiB}, {"FRESH", 8 * MiB}, {"RESUMED", 7 * MiB}, {"RESUMED", 8 * MiB}}));
}

TEST_P(ReceiverTest, AbandonedFilesKeepTheirPartialFilesForALaterOffer) {
    const Bytes bytes = testing::patternBytes(1000);
    const auto file = describe("FILE", "a.bin", bytes);
    run([&]() -> asio::awaitable<void> {
        const std::vector files{file};
        co_await offer(files, 1);
        co_await peer->sendChunk(1, 0, ByteView(bytes).first(500));
        co_await peer->expectNothingBeforeMarker();
        co_await receiver().cancelAll();
        co_await peer->sendChunk(1, 500, ByteView(bytes).subspan(500));
        co_await expectError(1200, "chunk", 1);
        EXPECT_EQ(std::filesystem::file_size(partialPath(file)), 500u);
        // The same file offered again continues where it stopped, also while it is still incoming.
        const auto offsets = co_await offer(files, 3);
        EXPECT_EQ(offsets.at("FILE"), 500u);
        co_await peer->sendChunk(3, 500, ByteView(bytes).subspan(500, 200));
        const auto retried = co_await offer(files, 5);
        EXPECT_EQ(retried.at("FILE"), 700u);
        co_await peer->sendChunk(3, 700, ByteView(bytes).subspan(700));
        co_await expectError(1200, "chunk", 3);
        co_await sendFile(5, file, bytes, 700);
        const ReceivedFile received = co_await nextReceived();
        EXPECT_EQ(testing::readFile(received.path), bytes);
    }());
}

// A chunk larger than the largest chunk size breaks the window the channel is sized for: the offer ends
// with flowViolation, once, and nothing of it is written.
TEST_P(ReceiverTest, OversizedChunkEndsTheOfferWithFlowViolation) {
    const Bytes bytes = testing::patternBytes(TransferSender::largestChunkSize + 1);
    const std::vector files{describe("HUGE", "huge.bin", bytes), describe("NEXT", "next.bin", bytes)};
    run([&]() -> asio::awaitable<void> {
        co_await offer(files, 1);
        co_await peer->sendChunk(1, 0, bytes);
        co_await expectError(1205, "chunk", 1);
        co_await sendFile(1, files[0], bytes, 0, TransferSender::largestChunkSize);
        co_await peer->expectNothingBeforeMarker();
    }());
    EXPECT_TRUE(receiveFolder.names().empty());
}

// A file that cannot be written (here no byte fits) fails its offer: one error frame, later frames of the
// offer dropped unanswered, and no partial file left that holds none of its bytes.
TEST_P(ReceiverTest, AnOfferThatCannotBeWrittenFailsOnceAndLeavesNoEmptyPartialFile) {
    const Bytes bytes = testing::patternBytes(1000);
    const std::vector files{describe("FIRST", "a.bin", bytes), describe("SECOND", "b.bin", bytes)};
    run([&]() -> asio::awaitable<void> {
        co_await offer(files, 1);
        {
            const testing::FileSizeLimit nothingFits(0);
            co_await peer->sendChunk(1, 0, bytes);
            co_await expectError(1402, "chunk", 1);
        }
        co_await sendFile(1, files[0], bytes);
        co_await sendFile(1, files[1], bytes);
        co_await peer->expectNothingBeforeMarker();
    }());
    EXPECT_TRUE(receiveFolder.names().empty());
}

INSTANTIATE_TEST_SUITE_P(Threads, ReceiverTest, ::testing::Values(1, 2));

/// The receive folder is a small file system of its own, mounted in a mount namespace made for the test;
/// elsewhere the tests skip.
class MountNamespaceReceiverTest : public ReceiverTest {
protected:
    void SetUp() override {
        const char* where = std::getenv("TARNWICK_MOUNT_NAMESPACE");
        if (!where || std::string_view(where) != "inside") {
            GTEST_SKIP() << "needs a mount namespace of its own (run through ctest)";
        }
        ASSERT_EQ(::mount("tmpfs", receiveFolder.path().c_str(), "tmpfs", 0, "size=264m"), 0)
            << std::strerror(errno);
        ReceiverTest::SetUp();
    }
    void TearDown() override { ::umount2(receiveFolder.path().c_str(), MNT_DETACH); }
};

// What partial files already hold counts as written; 256 MiB of the file system stay free. An offer
// that does not fit is refused before anyone is asked and leaves nothing behind.
TEST_P(MountNamespaceReceiverTest, OffersThatDoNotFitAreRejectedBeforeAnyoneIsAsked) {
    int asked = 0;
    TransferReceiver::Approval approval =
        [&asked](OfferMessage) -> asio::awaitable<TransferReceiver::Decision> {
        asked += 1;
        co_return TransferReceiver::Decision::accept();
    };
    // The partial file takes its space first; its name, which holds the offered size, comes after.
    const auto held = receiveFolder.write("held", testing::patternBytes(4 * MiB));
    const std::uint64_t room =
        ReceiveFolder(receiveFolder.path()).availableBytes() - TransferReceiver::spaceMargin;
    FileDescriptor resumable = describe("RESUMABLE", "movie.mov", {});
    resumable.byteCount = room + 2 * MiB;
    FileDescriptor tooLarge = describe("TOO-LARGE", "other.mov", {});
    tooLarge.byteCount = room + 1;
    const auto partialName = partialPath(resumable).filename().string();
    std::filesystem::rename(held, receiveFolder / partialName);
    run([&]() -> asio::awaitable<void> {
        co_await receiver().setApproval(approval);
        const OfferMessage refused{"REFUSED", {tooLarge}, {}};
        co_await peer->send(Kind::offer, refused, 1);
        const auto reject = co_await peer->expect<RejectMessage>(Kind::reject);
        EXPECT_EQ(reject, (RejectMessage{"REFUSED", TransferReceiver::insufficientSpaceReason}));
        const auto refusal = co_await receiver().refusals().next();
        EXPECT_EQ(refusal, reject);
        EXPECT_EQ(asked, 0);

        const std::vector files{resumable};
        const auto offsets = co_await offer(files, 3);
        EXPECT_EQ(offsets.at("RESUMABLE"), 4 * MiB);
        EXPECT_EQ(asked, 1);
    }());
    EXPECT_EQ(receiveFolder.names(), std::vector{partialName});
}

INSTANTIATE_TEST_SUITE_P(Threads, MountNamespaceReceiverTest, ::testing::Values(2));

} // namespace
} // namespace tarnwick
