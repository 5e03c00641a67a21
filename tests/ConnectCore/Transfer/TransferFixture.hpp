#pragma once

#include "ConnectCore/Async/Completion.hpp"
#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Transfer/TransferCoordinator.hpp"
#include "TarnwickConnectProtocol/Crypto/SHA256.hpp"
#include "TarnwickConnectProtocol/Messages/ErrorMessage.hpp"
#include "tests/ConnectCore/Transfer/TransferFiles.hpp"
#include "tests/Support/SessionFixture.hpp"

#include <asio/experimental/awaitable_operators.hpp>
#include <asio/thread_pool.hpp>
#include <gtest/gtest.h>

#include <mutex>

namespace tarnwick::testing {

/// A file as an offer describes it.
inline FileDescriptor describe(std::string fileID, std::string name, const Bytes& bytes) {
    return {.fileID = std::move(fileID),
            .name = std::move(name),
            .byteCount = bytes.size(),
            .utType = "public.data",
            .sha256 = SHA256::digest(bytes)};
}

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

/// Drives one raw session as a hand-written peer: the test sends exactly the frames it wants and reads
/// every frame the side under test sends.
class ScriptedPeer {
public:
    /// A stream nobody uses, for a chunk whose `error` answer marks that everything before it was handled.
    static constexpr std::uint64_t markerStream = 9999;

    explicit ScriptedPeer(std::shared_ptr<TWCPSession> session) : session_(std::move(session)) {}

    TWCPSession& session() { return *session_; }

    // Frames are built into locals before they are awaited: g++ 12 mishandles temporaries in co_await.
    template <class Message>
    asio::awaitable<void> send(TWCPFrameKind kind, Message message, std::uint64_t streamID) {
        auto frame = TWCPFrame::json(kind, message, streamID);
        co_await session_->send(std::move(frame));
    }

    /// A frame whose payload is the text as it is.
    asio::awaitable<void> sendRaw(TWCPFrameKind kind, std::uint64_t streamID, std::string text) {
        TWCPFrame frame(kind, {}, streamID, bytesOf(text));
        co_await session_->send(std::move(frame));
    }

    asio::awaitable<void> sendChunk(std::uint64_t streamID, std::uint64_t offset, ByteView bytes) {
        Bytes payload;
        appendBigEndian(payload, offset);
        payload.insert(payload.end(), bytes.begin(), bytes.end());
        TWCPFrame frame(TWCPFrameKind::chunk, {}, streamID, std::move(payload));
        co_await session_->send(std::move(frame));
    }

    /// The next frame, or none when nothing arrives within `limit`.
    asio::awaitable<std::optional<TWCPFrame>> nextWithin(std::chrono::milliseconds limit) {
        using namespace asio::experimental::awaitable_operators;
        auto race = frames_.next() || sleepFor(limit);
        auto outcome = co_await std::move(race);
        if (outcome.index() == 1) {
            co_return std::nullopt;
        }
        auto frame = std::get<0>(std::move(outcome));
        if (frame) {
            co_await session_->frameHandled();
        }
        co_return frame;
    }

    asio::awaitable<TWCPFrame> next() {
        auto frame = co_await nextWithin(std::chrono::seconds(10));
        if (!frame) {
            throw std::runtime_error("no frame arrived");
        }
        co_return std::move(*frame);
    }

    /// The next frame, which must be of this kind, decoded.
    template <class Message> asio::awaitable<Message> expect(TWCPFrameKind kind) {
        const TWCPFrame frame = co_await next();
        co_return frame.decode<Message>(kind);
    }

    /// Sends the marker and expects its answer as the very next frame: nothing else came before it.
    asio::awaitable<void> expectNothingBeforeMarker() {
        const Bytes marker(1, 0x4D);
        co_await sendChunk(markerStream, 0, marker);
        const TWCPFrame frame = co_await next();
        EXPECT_EQ(frame.header.kind, TWCPFrameKind::error);
        EXPECT_EQ(frame.header.streamID, markerStream);
    }

private:
    std::shared_ptr<TWCPSession> session_;
    AsyncQueue<TWCPFrame> frames_ = session_->frames();
};

/// What a send running in the background ended with: none for success.
using SendOutcome = Completion<std::optional<TWCPError>>;

/// Tests over two handshaken sessions in one process, on one or more engine threads (the parameter).
class TransferTest : public ::testing::TestWithParam<int> {
protected:
    Engine engine{GetParam()};
    asio::thread_pool pool{2};
    TemporaryDirectory sendFolder;
    TemporaryDirectory receiveFolder;
    std::unique_ptr<SessionPair> pair;
    /// How long a send waits for a refusal after its last complete: short, since a scripted peer that
    /// says nothing lets every send wait this long.
    std::chrono::steady_clock::duration outcomeWait = std::chrono::milliseconds(200);

    template <typename T> T run(asio::awaitable<T> body) { return engine.run(std::move(body)); }

    /// Makes a fresh pair of ready sessions.
    void connect(InMemoryChannel::Faults faults = {}) {
        pair = std::make_unique<SessionPair>(engine.executor(), SessionPair::Options{.faults = faults});
        const auto [initiatorError, responderError] = run(pair->handshake());
        ASSERT_FALSE(initiatorError);
        ASSERT_FALSE(responderError);
    }

    /// A coordinator on one side's session with its receive loop running; `loopEnded` is resumed when the
    /// loop returns.
    std::shared_ptr<TransferCoordinator> start(SessionPair::Side& side, const std::filesystem::path& folder,
                                               std::shared_ptr<Completion<bool>> loopEnded = {}) {
        auto coordinator = std::make_shared<TransferCoordinator>(engine.executor(), side.session, folder,
                                                                 pool.get_executor(), outcomeWait);
        asio::co_spawn(engine.executor(), coordinator->run(), [loopEnded](std::exception_ptr) {
            if (loopEnded) {
                loopEnded->resume(true);
            }
        });
        return coordinator;
    }

    /// Starts a send whose outcome is awaited later.
    SendOutcome startSend(std::shared_ptr<TransferCoordinator> coordinator,
                          std::vector<std::filesystem::path> paths,
                          TransferCoordinator::ProgressCallback onProgress = {}) {
        SendOutcome outcome(engine.executor());
        asio::co_spawn(engine.executor(),
                       coordinator->send(std::move(paths), std::nullopt, std::move(onProgress)),
                       [outcome](std::exception_ptr error) {
                           if (!error) {
                               outcome.resume(std::nullopt);
                           } else if (auto twcp = TWCPError::from(error)) {
                               outcome.resume(std::move(twcp));
                           } else {
                               outcome.fail(error);
                           }
                       });
        return outcome;
    }

    /// Sends and returns the outcome.
    std::optional<TWCPError> sendNow(std::shared_ptr<TransferCoordinator> coordinator,
                                     std::vector<std::filesystem::path> paths) {
        return run(startSend(std::move(coordinator), std::move(paths)).wait());
    }
};

} // namespace tarnwick::testing
