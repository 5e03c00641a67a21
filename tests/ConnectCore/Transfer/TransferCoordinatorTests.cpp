#include "ConnectCore/Transfer/TransferCoordinator.hpp"
#include "TarnwickConnectProtocol/Messages/CancelMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CompleteMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RejectMessage.hpp"
#include "tests/ConnectCore/Transfer/TransferFixture.hpp"

#include <array>

namespace tarnwick {
namespace {

using Kind = TWCPFrameKind;
using testing::ScriptedPeer;

class CoordinatorTest : public testing::TransferTest {
protected:
    /// The coordinator offers from the initiator's side to a scripted responder.
    std::shared_ptr<TransferCoordinator> offering() {
        connect();
        return start(pair->initiator, receiveFolder.path());
    }
};

TEST_P(CoordinatorTest, OffersTakeOddStreamsWhenDiallingAndEvenOnesWhenAccepting) {
    for (const bool dialling : {true, false}) {
        connect();
        auto coordinator = start(dialling ? pair->initiator : pair->responder, receiveFolder.path());
        ScriptedPeer peer(dialling ? pair->responder.session : pair->initiator.session);
        run([&]() -> asio::awaitable<void> {
            const std::uint64_t firstStream = dialling ? 1 : 2;
            for (std::uint64_t streamID = firstStream; streamID < firstStream + 6; streamID += 2) {
                auto sending = startSend(coordinator, {});
                const TWCPFrame frame = co_await peer.next();
                EXPECT_EQ(frame.header.streamID, streamID);
                const auto offer = frame.decode<OfferMessage>(Kind::offer);
                EXPECT_TRUE(offer.files.empty());
                const AcceptMessage accept{offer.offerID, {}};
                co_await peer.send(Kind::accept, accept, streamID);
                const auto outcome = co_await sending.wait();
                EXPECT_EQ(outcome, std::nullopt);
            }
            // An empty offer sends nothing after its accept.
            co_await peer.expectNothingBeforeMarker();
        }());
    }
}

TEST_P(CoordinatorTest, RejectEndsTheSendWithThePeersReason) {
    auto coordinator = offering();
    const auto file = sendFolder.write("photo.jpg", testing::patternBytes(1000));
    ScriptedPeer peer(pair->responder.session);
    run([&]() -> asio::awaitable<void> {
        auto sending = startSend(coordinator, {file});
        const auto offer = co_await peer.expect<OfferMessage>(Kind::offer);
        const RejectMessage reject{offer.offerID, "Not now"};
        co_await peer.send(Kind::reject, reject, 1);
        const auto outcome = co_await sending.wait();
        EXPECT_EQ(outcome, TWCPError::rejectedByPeer("Not now"));
        co_await peer.expectNothingBeforeMarker();
    }());
}

// Answers to offers nobody made, cancels of whole offers, the peer's errors on streams without a running
// send, and the kinds this system does not serve change nothing and are never answered.
TEST_P(CoordinatorTest, FramesThatNeedNoAnswerGetNone) {
    auto coordinator = offering();
    ScriptedPeer peer(pair->responder.session);
    run([&]() -> asio::awaitable<void> {
        const AcceptMessage accept{"NO-SUCH-OFFER", {}};
        co_await peer.send(Kind::accept, accept, 1);
        const RejectMessage reject{"NO-SUCH-OFFER", "no"};
        co_await peer.send(Kind::reject, reject, 1);
        const CancelMessage cancel{"NO-SUCH-OFFER", std::nullopt};
        co_await peer.send(Kind::cancel, cancel, 1);
        const ErrorMessage error(TWCPError::cancelled(), "chunk failed");
        co_await peer.send(Kind::error, error, 1);
        co_await peer.sendRaw(Kind::error, 3, "not json");
        const std::array unserved{Kind::resume,   Kind::currentFile, Kind::rangeRequest, Kind::rangeData,
                                  Kind::rangeEnd, Kind::rangeCancel, Kind::rangeError};
        for (const Kind kind : unserved) {
            co_await peer.sendRaw(kind, 1, "{}");
        }
        co_await peer.expectNothingBeforeMarker();
        // The coordinator still offers normally afterwards.
        auto sending = startSend(coordinator, {});
        const auto offer = co_await peer.expect<OfferMessage>(Kind::offer);
        const AcceptMessage answer{offer.offerID, {}};
        co_await peer.send(Kind::accept, answer, 1);
        const auto outcome = co_await sending.wait();
        EXPECT_EQ(outcome, std::nullopt);
    }());
}

TEST_P(CoordinatorTest, UnhandledFramesGetOneErrorNamingTheirKind) {
    auto coordinator = offering();
    ScriptedPeer peer(pair->responder.session);
    run([&]() -> asio::awaitable<void> {
        const Bytes data(3, 1);
        co_await peer.sendChunk(7, 0, data);
        const TWCPFrame chunkAnswer = co_await peer.next();
        EXPECT_EQ(chunkAnswer.header.streamID, 7u);
        EXPECT_EQ(chunkAnswer.decode<ErrorMessage>(Kind::error), ErrorMessage(1200, "chunk failed", false));

        co_await peer.sendRaw(Kind::flow, 4, "{not json");
        const TWCPFrame flowAnswer = co_await peer.next();
        EXPECT_EQ(flowAnswer.header.streamID, 4u);
        EXPECT_EQ(flowAnswer.decode<ErrorMessage>(Kind::error), ErrorMessage(1401, "flow failed", false));
        co_await peer.expectNothingBeforeMarker();
    }());
}

// Each file starts at its resume offset, on the offer's stream, only after the complete of the one before:
// a file the peer holds whole gets its complete alone.
TEST_P(CoordinatorTest, ResumeOffsetsSkipWhatThePeerHolds) {
    auto coordinator = offering();
    const Bytes first = testing::patternBytes(3000, 1);
    const Bytes second = testing::patternBytes(3000, 2);
    const auto paths = std::vector{sendFolder.write("a.txt", first), sendFolder.write("b.txt", second)};
    ScriptedPeer peer(pair->responder.session);
    run([&]() -> asio::awaitable<void> {
        auto sending = startSend(coordinator, paths);
        const auto offer = co_await peer.expect<OfferMessage>(Kind::offer);
        EXPECT_EQ(offer.files.size(), 2u);
        const auto& firstFile = offer.files[0];
        const auto& secondFile = offer.files[1];
        AcceptMessage accept{offer.offerID, {}};
        accept.resumeOffsets[firstFile.fileID] = 3000;
        accept.resumeOffsets[secondFile.fileID] = 1000;
        accept.resumeOffsets["stray"] = 5; // names no offered file: ignored
        co_await peer.send(Kind::accept, accept, 1);
        const std::array expected{Kind::complete, Kind::chunk, Kind::complete};
        std::vector<TWCPFrame> frames;
        for (const Kind kind : expected) {
            auto frame = co_await peer.next();
            frames.push_back(std::move(frame));
            EXPECT_EQ(frames.back().header.kind, kind);
            EXPECT_EQ(frames.back().header.streamID, 1u);
        }
        EXPECT_EQ(frames[0].decode<CompleteMessage>(Kind::complete),
                  (CompleteMessage{firstFile.fileID, 3000, SHA256::digest(first)}));
        EXPECT_EQ(bigEndianUInt64(frames[1].payload, 0), 1000u); // 00 00 00 00 00 00 03 E8
        EXPECT_EQ(Bytes(frames[1].payload.begin() + 8, frames[1].payload.end()),
                  Bytes(second.begin() + 1000, second.end()));
        EXPECT_EQ(frames[2].decode<CompleteMessage>(Kind::complete),
                  (CompleteMessage{secondFile.fileID, 3000, SHA256::digest(second)}));
        const auto outcome = co_await sending.wait();
        EXPECT_EQ(outcome, std::nullopt);
    }());
}

// Files are placed in batches beside the receiving of the next ones; a close right behind the last
// complete still places and announces every file that arrived whole before the stream of them ends.
TEST_P(CoordinatorTest, FilesThatArrivedWholeAreAnnouncedWhenTheConnectionEndsRightAfter) {
    connect();
    auto coordinator = start(pair->responder, receiveFolder.path());
    ScriptedPeer peer(pair->initiator.session);
    constexpr std::size_t count = 100;
    const Bytes bytes = testing::patternBytes(4096);
    OfferMessage offer{"OFFER", {}, std::nullopt};
    for (std::size_t i = 0; i < count; ++i) {
        offer.files.push_back(
            testing::describe("FILE-" + std::to_string(i), "file " + std::to_string(i), bytes));
    }
    const auto names = run([&]() -> asio::awaitable<std::vector<std::string>> {
        co_await peer.send(Kind::offer, offer, 1);
        co_await peer.expect<AcceptMessage>(Kind::accept);
        for (const auto& file : offer.files) {
            co_await peer.sendChunk(1, 0, bytes);
            const CompleteMessage complete{file.fileID, bytes.size(), file.sha256};
            co_await peer.send(Kind::complete, complete, 1);
        }
        co_await pair->initiator.session->close(std::nullopt);
        std::vector<std::string> announced;
        const auto completed = coordinator->receiver()->completed();
        while (auto file = co_await completed.next()) {
            announced.push_back(file->name);
        }
        co_return announced;
    }());
    ASSERT_EQ(names.size(), count);
    EXPECT_EQ(names.front(), "file 0");
    EXPECT_EQ(names.back(), "file 99");
}

INSTANTIATE_TEST_SUITE_P(Threads, CoordinatorTest, ::testing::Values(1, 2));

} // namespace
} // namespace tarnwick
