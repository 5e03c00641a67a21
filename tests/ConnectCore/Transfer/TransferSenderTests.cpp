#include "ConnectCore/Transfer/TransferSender.hpp"
#include "TarnwickConnectProtocol/Messages/CancelMessage.hpp"
#include "tests/ConnectCore/Transfer/TransferFixture.hpp"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using Kind = TWCPFrameKind;
using testing::MiB;
using testing::ProgressLog;
using testing::ScriptedPeer;

/// A file larger than the credit window, so that a send without flow messages stops in a credit wait.
constexpr std::uint64_t beyondWindow = 18 * MiB;

/// The coordinator sends from the initiator's side; a scripted responder receives.
class SenderTest : public testing::TransferTest {
protected:
    std::shared_ptr<TransferCoordinator> coordinator;
    std::unique_ptr<ScriptedPeer> peer;

    void connectSender(InMemoryChannel::Faults faults = {}) {
        connect(faults);
        coordinator = start(pair->initiator, receiveFolder.path());
        peer = std::make_unique<ScriptedPeer>(pair->responder.session);
    }

    /// Accepts the next offer and returns it.
    asio::awaitable<OfferMessage> acceptOffer() {
        const TWCPFrame frame = co_await peer->next();
        const auto offer = frame.decode<OfferMessage>(Kind::offer);
        const AcceptMessage accept{offer.offerID, {}};
        co_await peer->send(Kind::accept, accept, frame.header.streamID);
        co_return offer;
    }

    /// Reads chunks until the file's complete, checking that each chunk follows on from the one before.
    asio::awaitable<void> readUntilComplete(std::uint64_t offset = 0) {
        for (;;) {
            const TWCPFrame frame = co_await peer->next();
            if (frame.header.kind == Kind::complete) {
                co_return;
            }
            EXPECT_EQ(frame.header.kind, Kind::chunk);
            EXPECT_EQ(bigEndianUInt64(frame.payload, 0), offset);
            offset += frame.payload.size() - 8;
        }
    }

    /// Reads chunks until the sender must wait for credit: the chunk that ends beyond the window is the
    /// last one it may start. Returns the end of that chunk.
    asio::awaitable<std::uint64_t> readUntilCreditWait() {
        for (;;) {
            const TWCPFrame frame = co_await peer->next();
            EXPECT_EQ(frame.header.kind, Kind::chunk);
            const std::uint64_t end = bigEndianUInt64(frame.payload, 0) + frame.payload.size() - 8;
            if (end > TransferSender::creditWindow) {
                co_return end;
            }
        }
    }

    /// A send that waits for credit.
    struct CreditWait {
        testing::SendOutcome sending;
        OfferMessage offer;
        std::uint64_t sentUpTo = 0;
    };

    /// Starts the send of a file beyond the window and reads its chunks until it waits for credit.
    asio::awaitable<CreditWait> sendIntoCreditWait(TransferCoordinator::ProgressCallback onProgress = {}) {
        const auto file = sendFolder.write("big.bin", testing::patternBytes(beyondWindow));
        CreditWait wait{startSend(coordinator, {file}, std::move(onProgress)), {}, 0};
        wait.offer = co_await acceptOffer();
        wait.sentUpTo = co_await readUntilCreditWait();
        // Nothing more comes while no credit does.
        const auto more = co_await peer->nextWithin(150ms);
        EXPECT_FALSE(more);
        co_return wait;
    }
};

TEST_P(SenderTest, CreditWaitEndsWithTheNextFlow) {
    connectSender({.sendDelay = 10ms});
    ProgressLog progress;
    run([&]() -> asio::awaitable<void> {
        auto wait = co_await sendIntoCreditWait(progress.callback());
        const FlowMessage flow{wait.offer.files.at(0).fileID, 4 * MiB};
        co_await peer->send(Kind::flow, flow, 1);
        co_await readUntilComplete(wait.sentUpTo);
        const auto outcome = co_await wait.sending.wait();
        EXPECT_EQ(outcome, std::nullopt);
    }());
    EXPECT_EQ(progress.reports.back().sentBytes, beyondWindow);
    EXPECT_EQ(progress.reports.back().acknowledgedBytes, 4 * MiB);
}

TEST_P(SenderTest, CancelBeforeTheFirstChunkSendsNothing) {
    connectSender();
    const auto file = sendFolder.write("photo.jpg", testing::patternBytes(1000));
    run([&]() -> asio::awaitable<void> {
        auto sending = startSend(coordinator, {file});
        const auto offer = co_await peer->expect<OfferMessage>(Kind::offer);
        const CancelMessage cancel{std::nullopt, offer.files.at(0).fileID};
        co_await peer->send(Kind::cancel, cancel, 1);
        const AcceptMessage accept{offer.offerID, {}};
        co_await peer->send(Kind::accept, accept, 1);
        const auto outcome = co_await sending.wait();
        EXPECT_EQ(outcome, TWCPError::cancelled());
        co_await peer->expectNothingBeforeMarker();
    }());
}

// A cancel that arrives during a credit wait lets exactly one more chunk go, then ends the send.
TEST_P(SenderTest, CancelDuringACreditWaitEndsTheSendAfterOneChunk) {
    connectSender({.sendDelay = 10ms});
    run([&]() -> asio::awaitable<void> {
        auto wait = co_await sendIntoCreditWait();
        const CancelMessage cancel{std::nullopt, wait.offer.files.at(0).fileID};
        co_await peer->send(Kind::cancel, cancel, 1);
        const TWCPFrame last = co_await peer->next();
        EXPECT_EQ(last.header.kind, Kind::chunk);
        EXPECT_EQ(bigEndianUInt64(last.payload, 0), wait.sentUpTo);
        const auto outcome = co_await wait.sending.wait();
        EXPECT_EQ(outcome, TWCPError::cancelled());
        co_await peer->expectNothingBeforeMarker();
    }());
}

// A receiver that cannot take the offer or a chunk (a full disk) reports it with an error frame on the
// offer's stream; the send ends with the peer's error instead of waiting for an answer or credit.
TEST_P(SenderTest, PeerErrorsOnTheOffersStreamEndTheSend) {
    connectSender({.sendDelay = 10ms});
    const auto file = sendFolder.write("photo.jpg", testing::patternBytes(1000));
    run([&]() -> asio::awaitable<void> {
        auto waitingForAnswer = startSend(coordinator, {file});
        co_await peer->expect<OfferMessage>(Kind::offer);
        const ErrorMessage offerFailed(TWCPError::internalFailure(""), "offer failed");
        co_await peer->send(Kind::error, offerFailed, 1);
        const auto refused = co_await waitingForAnswer.wait();
        EXPECT_EQ(refused, TWCPError::internalFailure("offer failed"));

        auto waitingForCredit = co_await sendIntoCreditWait();
        const ErrorMessage chunkFailed(TWCPError::integrityMismatch(""), "chunk failed");
        co_await peer->send(Kind::error, chunkFailed, 3);
        const auto failed = co_await waitingForCredit.sending.wait();
        EXPECT_EQ(failed, TWCPError::integrityMismatch("chunk failed"));
    }());
}

// After its last complete a send waits for the peer's verdict; a peer that stays silent once the wait is
// over lets it succeed.
TEST_P(SenderTest, SilenceAfterTheLastCompleteEndsTheSendInSuccess) {
    outcomeWait = std::chrono::milliseconds(50);
    connectSender();
    const auto file = sendFolder.write("photo.jpg", testing::patternBytes(1000));
    run([&]() -> asio::awaitable<void> {
        auto unanswered = startSend(coordinator, {file});
        co_await acceptOffer();
        co_await readUntilComplete();
        const auto silence = co_await unanswered.wait();
        EXPECT_EQ(silence, std::nullopt);
    }());
}

TEST_P(SenderTest, ClosingTheSessionEndsWaitingSends) {
    const auto file = sendFolder.write("photo.jpg", testing::patternBytes(1000));
    connectSender();
    run([&]() -> asio::awaitable<void> {
        auto waitingForAnswer = startSend(coordinator, {file});
        co_await peer->expect<OfferMessage>(Kind::offer);
        co_await peer->session().close(std::nullopt);
        const auto outcome = co_await waitingForAnswer.wait();
        EXPECT_EQ(outcome, TWCPError::peerClosed());
        // The connection is gone: a new send fails at once.
        auto laterSend = startSend(coordinator, {file});
        const auto later = co_await laterSend.wait();
        EXPECT_EQ(later, TWCPError::peerClosed());
    }());

    connectSender({.sendDelay = 10ms});
    run([&]() -> asio::awaitable<void> {
        auto waitingForCredit = co_await sendIntoCreditWait();
        co_await peer->session().close(std::nullopt);
        const auto outcome = co_await waitingForCredit.sending.wait();
        EXPECT_EQ(outcome, TWCPError::peerClosed());
    }());
}

TEST_P(SenderTest, UnreadableFileFailsBeforeTheOffer) {
    connectSender();
    run([&]() -> asio::awaitable<void> {
        auto sending = startSend(coordinator, {sendFolder / "missing.jpg"});
        try {
            co_await sending.wait();
            ADD_FAILURE() << "a missing file was sent";
        } catch (const std::filesystem::filesystem_error& error) {
            EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        }
        co_await peer->expectNothingBeforeMarker();
    }());
}

// The sender runs on several engine threads, as in the application; the end-to-end tests also run on one.
INSTANTIATE_TEST_SUITE_P(Threads, SenderTest, ::testing::Values(2));

} // namespace
} // namespace tarnwick
