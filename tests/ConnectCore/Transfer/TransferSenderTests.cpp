#include "ConnectCore/Transfer/TransferSender.hpp"
#include "TarnwickConnectProtocol/Messages/CancelMessage.hpp"
#include "tests/ConnectCore/Transfer/TransferFixture.hpp"

#include <mutex>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using Kind = TWCPFrameKind;
using testing::MiB;
using testing::ScriptedPeer;

/// A file larger than the credit window, so that a send without flow messages stops in a credit wait.
constexpr std::uint64_t beyondWindow = 18 * MiB;

/// Progress reports, collected from the sender's executor.
struct ProgressLog {
    std::mutex mutex;
    std::vector<TransferProgress> reports;

    TransferCoordinator::ProgressCallback callback() {
        return [this](const TransferProgress& progress) {
            std::lock_guard lock(mutex);
            reports.push_back(progress);
        };
    }
};

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

    /// Accepts the next offer with the given resume offsets and returns it.
    asio::awaitable<OfferMessage> acceptOffer(std::map<std::string, std::uint64_t> offsets = {}) {
        const TWCPFrame frame = co_await peer->next();
        const auto offer = frame.decode<OfferMessage>(Kind::offer);
        const AcceptMessage accept{offer.offerID, std::move(offsets)};
        co_await peer->send(Kind::accept, accept, frame.header.streamID);
        co_return offer;
    }

    /// Reads chunks until the file's complete; returns each chunk's length, checking that offsets follow on.
    asio::awaitable<std::vector<std::uint64_t>> chunkLengthsUntilComplete(std::uint64_t from = 0) {
        std::vector<std::uint64_t> lengths;
        for (std::uint64_t offset = from;;) {
            const TWCPFrame frame = co_await peer->next();
            if (frame.header.kind == Kind::complete) {
                co_return lengths;
            }
            EXPECT_EQ(frame.header.kind, Kind::chunk);
            EXPECT_EQ(bigEndianUInt64(frame.payload, 0), offset);
            lengths.push_back(frame.payload.size() - 8);
            offset += lengths.back();
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

    /// The chunk lengths of one file sent over a session whose every send takes `delay`.
    std::vector<std::uint64_t> chunkLengths(std::uint64_t size,
                                            std::optional<std::chrono::nanoseconds> delay) {
        connectSender({.sendDelay = delay});
        const auto file = sendFolder.write("file.bin", testing::patternBytes(size));
        return run([&]() -> asio::awaitable<std::vector<std::uint64_t>> {
            auto sending = startSend(coordinator, {file});
            co_await acceptOffer();
            auto lengths = co_await chunkLengthsUntilComplete();
            const auto outcome = co_await sending.wait();
            EXPECT_EQ(outcome, std::nullopt);
            co_return lengths;
        }());
    }
};

TEST_P(SenderTest, EmptyFileSendsOnlyItsComplete) {
    connectSender();
    const auto file = sendFolder.write("empty.txt", {});
    ProgressLog progress;
    run([&]() -> asio::awaitable<void> {
        auto sending = startSend(coordinator, {file}, progress.callback());
        const auto offer = co_await acceptOffer();
        const Bytes nothing;
        EXPECT_EQ(offer.files.at(0).byteCount, 0u);
        EXPECT_EQ(offer.files.at(0).sha256, SHA256::digest(nothing));
        const auto complete = co_await peer->expect<CompleteMessage>(Kind::complete);
        EXPECT_EQ(complete.byteCount, 0u);
        const auto outcome = co_await sending.wait();
        EXPECT_EQ(outcome, std::nullopt);
    }());
    EXPECT_TRUE(progress.reports.empty());
}

TEST_P(SenderTest, ResumeOffsetsSkipWhatThePeerHolds) {
    connectSender();
    const Bytes bytes = testing::patternBytes(3000);
    const auto file = sendFolder.write("notes.unknownextension", bytes);
    run([&]() -> asio::awaitable<void> {
        auto sending = startSend(coordinator, {file});
        auto offer = co_await peer->expect<OfferMessage>(Kind::offer);
        EXPECT_EQ(offer.files.at(0).utType, "public.data");
        AcceptMessage accept{offer.offerID, {}};
        accept.resumeOffsets[offer.files.at(0).fileID] = 1000;
        co_await peer->send(Kind::accept, accept, 1);
        const TWCPFrame chunk = co_await peer->next();
        EXPECT_EQ(bigEndianUInt64(chunk.payload, 0), 1000u); // 00 00 00 00 00 00 03 E8
        EXPECT_EQ(Bytes(chunk.payload.begin() + 8, chunk.payload.end()),
                  Bytes(bytes.begin() + 1000, bytes.end()));
        co_await peer->expect<CompleteMessage>(Kind::complete);
        const auto firstOutcome = co_await sending.wait();
        EXPECT_EQ(firstOutcome, std::nullopt);

        // Holding the whole file already: only the complete goes out.
        auto again = startSend(coordinator, {file});
        offer = co_await peer->expect<OfferMessage>(Kind::offer);
        accept.offerID = offer.offerID;
        accept.resumeOffsets = {};
        accept.resumeOffsets[offer.files.at(0).fileID] = 3000;
        co_await peer->send(Kind::accept, accept, 3);
        const auto complete = co_await peer->expect<CompleteMessage>(Kind::complete);
        EXPECT_EQ(complete, (CompleteMessage{offer.files.at(0).fileID, 3000, SHA256::digest(bytes)}));
        const auto secondOutcome = co_await again.wait();
        EXPECT_EQ(secondOutcome, std::nullopt);
    }());
}

// Sends taking longer than 120 ms halve the chunk size down to 64 KiB.
TEST_P(SenderTest, SlowSendsHalveTheChunkSize) {
    const auto lengths = chunkLengths(MiB, 125ms);
    EXPECT_EQ(lengths,
              (std::vector<std::uint64_t>{512 * 1024, 256 * 1024, 128 * 1024, 64 * 1024, 64 * 1024}));
}

// 10 ms is neither fast nor slow: every chunk keeps the first size.
TEST_P(SenderTest, SteadySendsKeepTheFirstChunkSize) {
    const auto lengths = chunkLengths(5 * MiB / 2, 10ms);
    EXPECT_EQ(lengths, std::vector<std::uint64_t>(5, 512 * 1024));
}

// Sends under 8 ms double the chunk size up to 4 MiB. How fast an in-memory send is depends on the
// machine, so only the bounds are exact.
TEST_P(SenderTest, FastSendsGrowTheChunkSizeUpTo4MiB) {
    const auto lengths = chunkLengths(12 * MiB, std::nullopt);
    ASSERT_FALSE(lengths.empty());
    EXPECT_EQ(lengths.front(), TransferSender::firstChunkSize);
    for (std::size_t i = 1; i < lengths.size(); ++i) {
        EXPECT_LE(lengths[i], std::min(2 * lengths[i - 1], TransferSender::largestChunkSize));
    }
    EXPECT_EQ(*std::max_element(lengths.begin(), lengths.end()), TransferSender::largestChunkSize);
}

TEST_P(SenderTest, CreditWaitEndsWithTheNextFlow) {
    connectSender({.sendDelay = 10ms});
    ProgressLog progress;
    run([&]() -> asio::awaitable<void> {
        auto wait = co_await sendIntoCreditWait(progress.callback());
        const FlowMessage flow{wait.offer.files.at(0).fileID, 4 * MiB};
        co_await peer->send(Kind::flow, flow, 1);
        co_await chunkLengthsUntilComplete(wait.sentUpTo);
        const auto outcome = co_await wait.sending.wait();
        EXPECT_EQ(outcome, std::nullopt);
    }());
    const auto& last = progress.reports.back();
    EXPECT_EQ(last.sentBytes, beyondWindow);
    EXPECT_EQ(last.totalBytes, beyondWindow);
    EXPECT_EQ(last.acknowledgedBytes, 4 * MiB);
    EXPECT_EQ(last.fraction(), 1.0);
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

// After its last complete a send waits for the peer's verdict: a refusal fails it, the peer's
// confirmation (a flow of the whole file) ends it at once, and so does silence once the wait is over.
TEST_P(SenderTest, TheOutcomeIsThePeers) {
    outcomeWait = std::chrono::hours(1);
    connectSender();
    const auto file = sendFolder.write("photo.jpg", testing::patternBytes(1000));
    run([&]() -> asio::awaitable<void> {
        auto refused = startSend(coordinator, {file});
        co_await acceptOffer();
        co_await chunkLengthsUntilComplete();
        const ErrorMessage completeFailed(TWCPError::integrityMismatch(""), "complete failed");
        co_await peer->send(Kind::error, completeFailed, 1);
        const auto refusal = co_await refused.wait();
        EXPECT_EQ(refusal, TWCPError::integrityMismatch("complete failed"));

        auto confirmed = startSend(coordinator, {file});
        const auto offer = co_await acceptOffer();
        co_await chunkLengthsUntilComplete();
        const FlowMessage whole{offer.files.at(0).fileID, 1000};
        co_await peer->send(Kind::flow, whole, 3);
        const auto confirmation = co_await confirmed.wait();
        EXPECT_EQ(confirmation, std::nullopt);
    }());

    outcomeWait = std::chrono::milliseconds(50);
    connectSender();
    run([&]() -> asio::awaitable<void> {
        auto unanswered = startSend(coordinator, {file});
        co_await acceptOffer();
        co_await chunkLengthsUntilComplete();
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
