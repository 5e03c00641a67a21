#include "ConnectCore/Transfer/TransferSender.hpp"

#include "ConnectCore/Async/Blocking.hpp"
#include "ConnectCore/Async/Completion.hpp"
#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Files/UTTypeIdentifier.hpp"
#include "TarnwickConnectProtocol/Crypto/UUID.hpp"
#include "TarnwickConnectProtocol/Files/SafeFilename.hpp"
#include "TarnwickConnectProtocol/Messages/CompleteMessage.hpp"

#include <asio/co_spawn.hpp>
#include <asio/error.hpp>
#include <asio/system_error.hpp>
#include <asio/this_coro.hpp>

#include <algorithm>
#include <iterator>

namespace tarnwick {
namespace {

// One chunk's payload: its file offset, big-endian, then the bytes read there (none at the file's end).
Bytes chunkPayload(const PositionalReader& reader, std::uint64_t offset, std::uint64_t length) {
    Bytes payload;
    payload.reserve(8 + length);
    appendBigEndian(payload, offset);
    payload.resize(8 + length);
    payload.resize(8 + reader.readInto(offset, std::span(payload).subspan(8)));
    return payload;
}

/// Starts reading a chunk on the blocking pool and returns at once, so that the next chunk is read from
/// disk while the current one is on the wire.
Completion<Bytes> readAhead(const asio::any_io_executor& blocking, const asio::any_io_executor& strand,
                            std::shared_ptr<const PositionalReader> reader, std::uint64_t offset,
                            std::uint64_t length) {
    Completion<Bytes> read(strand);
    auto job = [reader = std::move(reader), offset, length]() -> asio::awaitable<Bytes> {
        co_return chunkPayload(*reader, offset, length);
    };
    asio::co_spawn(blocking, std::move(job), [read](const std::exception_ptr& error, Bytes payload) {
        if (error) {
            read.fail(error);
        } else {
            read.resume(std::move(payload));
        }
    });
    return read;
}

OutgoingTransfer::File describeFile(const std::filesystem::path& path) {
    // Taken before the hash, so that a change while hashing shows at a retry.
    const auto modified = std::filesystem::last_write_time(path);
    const PositionalReader reader(path);
    FileDescriptor descriptor;
    descriptor.fileID = UUID::random();
    // The file is read by its real path; only the name on the wire is made valid text.
    descriptor.name = SafeFilename::offeredName(path.filename().string());
    descriptor.byteCount = reader.byteCount();
    descriptor.utType = UTTypeIdentifier::forFile(path);
    descriptor.sha256 = reader.sha256();
    return {path, std::move(descriptor), modified};
}

asio::awaitable<void> wokenUp(Completion<std::monostate> waiter) {
    co_await waiter.wait();
}

} // namespace

TransferSender::TransferSender(const asio::any_io_executor& executor, std::shared_ptr<TWCPFrameSink> session,
                               asio::any_io_executor blocking,
                               std::chrono::steady_clock::duration outcomeWait)
    : Actor(executor),
      session_(std::move(session)),
      blocking_(std::move(blocking)),
      outcomeWait_(outcomeWait) {}

asio::awaitable<std::vector<OutgoingTransfer::File>>
TransferSender::describe(std::vector<std::filesystem::path> paths) const {
    std::vector<OutgoingTransfer::File> files;
    for (std::size_t first = 0; first < paths.size(); first += filesDescribedAtOnce) {
        const auto last = std::min(paths.size(), first + filesDescribedAtOnce);
        auto work = [some = std::vector(paths.begin() + first, paths.begin() + last)] {
            std::vector<OutgoingTransfer::File> described;
            for (const auto& path : some) {
                described.push_back(describeFile(path));
            }
            return described;
        };
        auto some = co_await runBlocking(blocking_, std::move(work));
        std::move(some.begin(), some.end(), std::back_inserter(files));
    }
    co_return files;
}

asio::awaitable<void> TransferSender::send(std::filesystem::path path, FileDescriptor descriptor,
                                           std::uint64_t resumeFrom, std::uint64_t streamID,
                                           ProgressCallback onProgress) {
    return enter(
        sendOnStrand(std::move(path), std::move(descriptor), resumeFrom, streamID, std::move(onProgress)));
}

asio::awaitable<void> TransferSender::awaitOutcome(std::string fileID, std::uint64_t streamID) {
    return enter(awaitOutcomeOnStrand(std::move(fileID), streamID));
}

asio::awaitable<void> TransferSender::handleFlow(FlowMessage flow) {
    return enter(handleFlowOnStrand(std::move(flow)));
}

asio::awaitable<void> TransferSender::handleCancel(std::string fileID) {
    return enter(handleCancelOnStrand(std::move(fileID)));
}

asio::awaitable<void> TransferSender::forgetCancels(std::vector<std::string> fileIDs) {
    return enter(forgetCancelsOnStrand(std::move(fileIDs)));
}

asio::awaitable<void> TransferSender::failStream(std::uint64_t streamID, TWCPError error) {
    return enter(failStreamOnStrand(streamID, std::move(error)));
}

asio::awaitable<void> TransferSender::connectionEnded(TWCPError error) {
    return enter(connectionEndedOnStrand(std::move(error)));
}

std::uint64_t TransferSender::nextChunkSize(std::uint64_t chunkSize,
                                            std::chrono::steady_clock::duration elapsed) {
    if (elapsed < fastSend) {
        return std::min(chunkSize * 2, largestChunkSize);
    }
    if (elapsed > slowSend) {
        return std::max(chunkSize / 2, smallestChunkSize);
    }
    return chunkSize;
}

asio::awaitable<void> TransferSender::sendOnStrand(std::filesystem::path path, FileDescriptor descriptor,
                                                   std::uint64_t resumeFrom, std::uint64_t streamID,
                                                   ProgressCallback onProgress) {
    const std::string& fileID = descriptor.fileID;
    auto open = [path] { return std::make_shared<const PositionalReader>(path); };
    const auto reader = co_await runBlocking(blocking_, std::move(open));
    // The size now, not the offered one: a file that changed since is caught by the peer's checks.
    const std::uint64_t total = reader->byteCount();
    acknowledged_[fileID] = resumeFrom;
    std::uint64_t offset = resumeFrom;
    std::uint64_t chunkSize = firstChunkSize;
    auto next = readAhead(blocking_, strand(), reader, offset, std::min(chunkSize, total - offset));
    while (offset < total) {
        co_await throwIfStopped(fileID, streamID);
        co_await awaitWindow(fileID, streamID, offset);
        auto payload = co_await next.wait();
        // Read ahead at the largest size the rate could choose; cut to the size it chose.
        payload.resize(std::min<std::size_t>(payload.size(), 8 + chunkSize));
        const std::uint64_t byteCount = payload.size() - 8;
        if (byteCount == 0) {
            break; // the file shrank; the peer's size check rejects it
        }
        if (offset + byteCount < total) {
            const std::uint64_t largest = std::min(chunkSize * 2, largestChunkSize);
            next = readAhead(blocking_, strand(), reader, offset + byteCount,
                             std::min(largest, total - offset - byteCount));
        }
        TWCPFrame chunk(TWCPFrameKind::chunk, {}, streamID, std::move(payload));
        const auto started = std::chrono::steady_clock::now();
        co_await session_->send(std::move(chunk));
        chunkSize = nextChunkSize(chunkSize, std::chrono::steady_clock::now() - started);
        offset += byteCount;
        if (onProgress) {
            onProgress({fileID, descriptor.name, offset, total, acknowledged_[fileID]});
        }
    }
    // Noted before it goes: the peer's confirmation may come back before the send returns.
    awaitingOutcome_[fileID] = total;
    co_await sendComplete(descriptor, total, streamID);
}

asio::awaitable<void> TransferSender::awaitOutcomeOnStrand(std::string fileID, std::uint64_t streamID) {
    const auto deadline = std::chrono::steady_clock::now() + outcomeWait_;
    for (;;) {
        co_await throwIfStopped(fileID, streamID);
        const auto now = std::chrono::steady_clock::now();
        if (confirmedFiles_.contains(fileID) || now >= deadline) {
            awaitingOutcome_.erase(fileID);
            co_return;
        }
        // Woken by a flow, a cancel or an error, or by the deadline; each case is checked above.
        CreditWaiter waiter(strand());
        creditWaiters_[fileID].push_back(waiter);
        co_await firstToFinish(wokenUp(waiter), sleepFor(deadline - now));
    }
}

asio::awaitable<void> TransferSender::awaitWindow(std::string fileID, std::uint64_t streamID,
                                                  std::uint64_t offset) {
    // A cancel ends the wait but lets this one chunk go; the check after it throws. The window is
    // measured without adding to the peer's figure, which could overflow.
    const auto beyondWindow = [&] {
        return offset > acknowledged_[fileID] && offset - acknowledged_[fileID] > creditWindow;
    };
    while (beyondWindow() && !cancelledFiles_.contains(fileID)) {
        co_await throwIfStopped(fileID, streamID);
        CreditWaiter waiter(strand());
        creditWaiters_[fileID].push_back(waiter);
        co_await waiter.wait();
    }
}

asio::awaitable<void> TransferSender::throwIfStopped(std::string fileID, std::uint64_t streamID) const {
    if (connectionError_) {
        throw *connectionError_;
    }
    if (const auto failed = failedStreams_.find(streamID); failed != failedStreams_.end()) {
        throw failed->second;
    }
    if (cancelledFiles_.contains(fileID)) {
        throw TWCPError::cancelled();
    }
    if ((co_await asio::this_coro::cancellation_state).cancelled() != asio::cancellation_type::none) {
        throw asio::system_error(asio::error::operation_aborted);
    }
}

asio::awaitable<void> TransferSender::sendComplete(FileDescriptor descriptor, std::uint64_t total,
                                                   std::uint64_t streamID) {
    auto frame = TWCPFrame::json(TWCPFrameKind::complete,
                                 CompleteMessage{descriptor.fileID, total, descriptor.sha256}, streamID);
    co_await session_->send(std::move(frame));
}

asio::awaitable<void> TransferSender::handleFlowOnStrand(FlowMessage flow) {
    acknowledged_[flow.fileID] = flow.consumedBytes;
    const auto awaiting = awaitingOutcome_.find(flow.fileID);
    if (awaiting != awaitingOutcome_.end() && flow.consumedBytes >= awaiting->second) {
        confirmedFiles_.insert(flow.fileID);
        awaitingOutcome_.erase(awaiting);
    }
    wake(flow.fileID);
    co_return;
}

asio::awaitable<void> TransferSender::handleCancelOnStrand(std::string fileID) {
    cancelledFiles_.insert(fileID);
    wake(fileID);
    co_return;
}

asio::awaitable<void> TransferSender::forgetCancelsOnStrand(std::vector<std::string> fileIDs) {
    for (const auto& fileID : fileIDs) {
        cancelledFiles_.erase(fileID);
    }
    co_return;
}

asio::awaitable<void> TransferSender::failStreamOnStrand(std::uint64_t streamID, TWCPError error) {
    failedStreams_.emplace(streamID, std::move(error));
    // Waiters are keyed by file; each one checks its own stream when it wakes.
    wakeAll();
    co_return;
}

asio::awaitable<void> TransferSender::connectionEndedOnStrand(TWCPError error) {
    connectionError_ = error;
    auto waiters = std::exchange(creditWaiters_, {});
    for (auto& [fileID, list] : waiters) {
        for (auto& waiter : list) {
            waiter.fail(std::make_exception_ptr(error));
        }
    }
    co_return;
}

void TransferSender::wake(const std::string& fileID) {
    const auto found = creditWaiters_.find(fileID);
    if (found == creditWaiters_.end()) {
        return;
    }
    const auto waiters = std::move(found->second);
    creditWaiters_.erase(found);
    for (const auto& waiter : waiters) {
        waiter.resume({});
    }
}

void TransferSender::wakeAll() {
    auto waiters = std::exchange(creditWaiters_, {});
    for (auto& [fileID, list] : waiters) {
        for (auto& waiter : list) {
            waiter.resume({});
        }
    }
}

} // namespace tarnwick
