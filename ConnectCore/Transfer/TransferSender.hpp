#pragma once

#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Async/Completion.hpp"
#include "ConnectCore/Session/TWCPFrameSink.hpp"
#include "ConnectCore/Transfer/OutgoingTransfer.hpp"
#include "ConnectCore/Transfer/PositionalReader.hpp"
#include "ConnectCore/Transfer/TransferProgress.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Messages/FileDescriptor.hpp"
#include "TarnwickConnectProtocol/Messages/FlowMessage.hpp"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace tarnwick {

/// The sending half of transfers: it describes files before an offer, then streams each accepted file as
/// chunks under a credit window, adapting the chunk size to how fast the session takes them, and ends it
/// with a `complete`. Flow, cancel and peer errors reach it from the coordinator.
class TransferSender : public Actor {
public:
    using ProgressCallback = std::function<void(const TransferProgress&)>;

    static constexpr std::uint64_t firstChunkSize = 0x80000;    ///< 512 KiB
    static constexpr std::uint64_t smallestChunkSize = 0x10000; ///< 64 KiB
    static constexpr std::uint64_t largestChunkSize = 0x400000; ///< 4 MiB
    /// A chunk sent faster than this doubles the next one; slower than `slowSend` halves it.
    static constexpr std::chrono::milliseconds fastSend{8};
    static constexpr std::chrono::milliseconds slowSend{120};
    /// Bytes a file may run ahead of what the peer has confirmed as written.
    static constexpr std::uint64_t creditWindow = 0x1000000;
    /// How long after a `complete` the peer may still refuse the file: a file counts as sent only when no
    /// error comes on its stream within this time, or the peer confirms it sooner.
    static constexpr std::chrono::seconds outcomeWait{5};

    /// `blocking` runs file reads and hashing, away from the threads that drive sockets.
    TransferSender(const asio::any_io_executor& executor, std::shared_ptr<TWCPFrameSink> session,
                   asio::any_io_executor blocking,
                   std::chrono::steady_clock::duration outcomeWait = TransferSender::outcomeWait);

    /// Describes files for an offer, each under a fresh file ID: size, SHA-256, type (no media metadata)
    /// and when it was last changed. Several files go to the blocking pool at a time, so thousands of small
    /// files take few trips there. The first file that cannot be read fails the whole.
    asio::awaitable<std::vector<OutgoingTransfer::File>>
    describe(std::vector<std::filesystem::path> paths) const;
    static constexpr std::size_t filesDescribedAtOnce = 64;

    /// Sends one described file from `resumeFrom` on the offer's stream and returns once its `complete`
    /// has been handed to the session. Throws `cancelled` when the peer cancels the file, the peer's error
    /// when it reports one on the stream, the closing error once the connection has ended, and the file's
    /// or the session's errors.
    asio::awaitable<void> send(std::filesystem::path path, FileDescriptor descriptor,
                               std::uint64_t resumeFrom, std::uint64_t streamID, ProgressCallback onProgress);

    /// Returns once the peer has had its say on a file whose `complete` went out: at once when it confirmed
    /// the whole file (a `flow` of its full size after the `complete`), else when the outcome wait has
    /// passed without an error. Throws what `send` would: the peer's error on the stream, `cancelled`, the
    /// closing error.
    asio::awaitable<void> awaitOutcome(std::string fileID, std::uint64_t streamID);

    /// The peer confirms bytes written: more credit for the file, or, after its `complete`, the whole file.
    asio::awaitable<void> handleFlow(FlowMessage flow);
    /// The peer asks to stop sending the file, now or whenever it is sent later.
    asio::awaitable<void> handleCancel(std::string fileID);
    /// Clears earlier cancels of these files, before they are offered again.
    asio::awaitable<void> forgetCancels(std::vector<std::string> fileIDs);
    /// The peer could not handle a frame of the stream: the file being sent on it ends with `error`.
    asio::awaitable<void> failStream(std::uint64_t streamID, TWCPError error);
    /// The session has ended: every credit wait ends with `error`, and so does every later send.
    asio::awaitable<void> connectionEnded(TWCPError error);

    /// The chunk size after one that took `elapsed` to send.
    static std::uint64_t nextChunkSize(std::uint64_t chunkSize, std::chrono::steady_clock::duration elapsed);

private:
    using CreditWaiter = Completion<std::monostate>;

    asio::awaitable<void> sendOnStrand(std::filesystem::path path, FileDescriptor descriptor,
                                       std::uint64_t resumeFrom, std::uint64_t streamID,
                                       ProgressCallback onProgress);
    asio::awaitable<void> awaitWindow(std::string fileID, std::uint64_t streamID, std::uint64_t offset);
    asio::awaitable<void> throwIfStopped(std::string fileID, std::uint64_t streamID) const;
    asio::awaitable<void> sendComplete(FileDescriptor descriptor, std::uint64_t total,
                                       std::uint64_t streamID);
    asio::awaitable<void> awaitOutcomeOnStrand(std::string fileID, std::uint64_t streamID);
    asio::awaitable<void> handleFlowOnStrand(FlowMessage flow);
    asio::awaitable<void> handleCancelOnStrand(std::string fileID);
    asio::awaitable<void> forgetCancelsOnStrand(std::vector<std::string> fileIDs);
    asio::awaitable<void> failStreamOnStrand(std::uint64_t streamID, TWCPError error);
    asio::awaitable<void> connectionEndedOnStrand(TWCPError error);
    void wake(const std::string& fileID);
    void wakeAll();

    const std::shared_ptr<TWCPFrameSink> session_;
    const asio::any_io_executor blocking_;
    const std::chrono::steady_clock::duration outcomeWait_;
    /// Per file: its resume offset, then the `consumedBytes` of each flow. Kept for the connection.
    std::map<std::string, std::uint64_t> acknowledged_;
    std::map<std::string, std::vector<CreditWaiter>> creditWaiters_;
    std::set<std::string> cancelledFiles_;
    /// Per file whose `complete` went out and that the peer has not confirmed: its size.
    std::map<std::string, std::uint64_t> awaitingOutcome_;
    /// Files the peer confirmed whole after their `complete`.
    std::set<std::string> confirmedFiles_;
    /// Streams of our offers on which the peer reported an error.
    std::map<std::uint64_t, TWCPError> failedStreams_;
    std::optional<TWCPError> connectionError_;
};

} // namespace tarnwick
