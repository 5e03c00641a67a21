#include "ConnectCore/Transfer/TransferReceiver.hpp"

#include "ConnectCore/Async/Blocking.hpp"
#include "ConnectCore/Transfer/PeerError.hpp"
#include "ConnectCore/Transfer/TransferSender.hpp"
#include "TarnwickConnectProtocol/Files/SafeFilename.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Messages/AcceptMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CancelMessage.hpp"
#include "TarnwickConnectProtocol/Messages/FlowMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RejectMessage.hpp"

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>

#include <algorithm>
#include <set>

namespace tarnwick {
namespace {

asio::awaitable<TransferReceiver::Decision> acceptEverything(OfferMessage) {
    co_return TransferReceiver::Decision::accept();
}

// A peer's file IDs name partial files, so only plain, distinct tokens are taken.
void requirePlainDistinctFileIDs(const OfferMessage& offer) {
    std::set<std::string> seen;
    for (const auto& file : offer.files) {
        if (!ReceiveFolder::isPlainFileID(file.fileID) || !seen.insert(file.fileID).second) {
            throw TWCPError::malformedPayload("fileID");
        }
    }
}

// Whether the bytes still to come fit on the disk with the margin to spare. Sizes come from the peer, so
// their sum saturates instead of wrapping.
bool fits(const OfferMessage& offer, const std::vector<std::uint64_t>& offsets, std::uint64_t available) {
    std::uint64_t needed = 0;
    for (std::size_t i = 0; i < offer.files.size(); ++i) {
        const std::uint64_t remaining = offer.files[i].byteCount - offsets[i];
        needed = remaining > UINT64_MAX - needed ? UINT64_MAX : needed + remaining;
    }
    return available >= TransferReceiver::spaceMargin && needed <= available - TransferReceiver::spaceMargin;
}

} // namespace

TransferReceiver::TransferReceiver(const asio::any_io_executor& executor,
                                   std::shared_ptr<TWCPFrameSink> session, std::filesystem::path directory,
                                   asio::any_io_executor blocking)
    : Actor(executor),
      session_(std::move(session)),
      folder_(std::move(directory)),
      blocking_(std::move(blocking)),
      approve_(acceptEverything),
      completed_(executor),
      refusals_(executor),
      offers_(executor) {}

asio::awaitable<void> TransferReceiver::setApproval(Approval approve) {
    return enter(setApprovalOnStrand(std::move(approve)));
}

asio::awaitable<void> TransferReceiver::handleOffer(OfferMessage offer, std::uint64_t streamID) {
    return enter(handleOfferOnStrand(std::move(offer), streamID));
}

asio::awaitable<void> TransferReceiver::handleChunk(TWCPFrame frame) {
    return enter(handleChunkOnStrand(std::move(frame)));
}

asio::awaitable<void> TransferReceiver::handleComplete(CompleteMessage complete, std::uint64_t streamID) {
    return enter(handleCompleteOnStrand(std::move(complete), streamID));
}

asio::awaitable<void> TransferReceiver::cancelAll() {
    return enter(cancelAllOnStrand());
}

asio::awaitable<void> TransferReceiver::setApprovalOnStrand(Approval approve) {
    approve_ = std::move(approve);
    co_return;
}

asio::awaitable<void> TransferReceiver::handleOfferOnStrand(OfferMessage offer, std::uint64_t streamID) {
    requirePlainDistinctFileIDs(offer);
    // Only looks for partial files to resume: each file's own is opened when its turn comes.
    auto measure = [folder = folder_, files = offer.files] {
        std::vector<std::uint64_t> lengths;
        lengths.reserve(files.size());
        for (const auto& descriptor : files) {
            lengths.push_back(folder.resumableLength(descriptor));
        }
        return std::pair{lengths, folder.availableBytes()};
    };
    auto [offsets, available] = co_await runBlocking(blocking_, std::move(measure));
    if (!fits(offer, offsets, available)) {
        refusals_.push({offer.offerID, insufficientSpaceReason});
        co_await reject(offer.offerID, insufficientSpaceReason, streamID);
        co_return;
    }
    // A copy: the function may be replaced while it decides.
    const Approval approve = approve_;
    OfferMessage asked = offer;
    const Decision decision = co_await approve(std::move(asked));
    if (decision.accepted) {
        co_await accept(std::move(offer), std::move(offsets), streamID);
    } else {
        co_await reject(offer.offerID, decision.reason, streamID);
    }
}

asio::awaitable<void> TransferReceiver::reject(std::string offerID, std::string reason,
                                               std::uint64_t streamID) {
    auto frame = TWCPFrame::json(TWCPFrameKind::reject, RejectMessage{offerID, reason}, streamID);
    co_await session_->send(std::move(frame));
}

asio::awaitable<void> TransferReceiver::accept(OfferMessage offer, std::vector<std::uint64_t> offsets,
                                               std::uint64_t streamID) {
    AcceptMessage answer{offer.offerID, {}};
    Tally tally;
    tally.offer.offerID = offer.offerID;
    tally.offer.fileCount = tally.filesLeft = offer.files.size();
    tally.offer.firstName = offer.files.empty() ? std::string() : offer.files.front().name;
    for (std::size_t i = 0; i < offer.files.size(); ++i) {
        const auto& descriptor = offer.files[i];
        // The same file offered again (a retry) continues from its partial file with a fresh record.
        if (const auto earlier = incoming_.find(descriptor.fileID); earlier != incoming_.end()) {
            const std::string earlierOffer = earlier->second.offerID;
            forget(descriptor.fileID);
            settle(earlierOffer);
        }
        tally.offer.receivedBytes += offsets[i];
        tally.offer.totalBytes += descriptor.byteCount;
        const std::string safeName = SafeFilename::sanitize(descriptor.name, fallbackName);
        incoming_[descriptor.fileID] = {descriptor, safeName,   nullptr,  false,
                                        offsets[i], offsets[i], streamID, offer.offerID};
        streamFiles_[streamID].push_back(descriptor.fileID);
        answer.resumeOffsets[descriptor.fileID] = offsets[i];
    }
    endedStreams_.erase(streamID);
    track(std::move(tally));
    auto frame = TWCPFrame::json(TWCPFrameKind::accept, answer, streamID);
    co_await session_->send(std::move(frame));
}

asio::awaitable<void> TransferReceiver::handleChunkOnStrand(TWCPFrame frame) {
    const std::uint64_t streamID = frame.header.streamID;
    if (endedStreams_.contains(streamID)) {
        co_return; // its failure was reported; the sender may still have chunks on the way
    }
    Incoming& record = fileBeingSent(streamID);
    const std::string fileID = record.descriptor.fileID;
    if (frame.payload.size() < 9) {
        throw TWCPError::malformedPayload("chunk");
    }
    const std::uint64_t offset = bigEndianUInt64(frame.payload, 0);
    const std::uint64_t length = frame.payload.size() - 8;
    // Bytes beyond the offered size could only fill the disk: the file would fail its checks anyway.
    if (offset != record.expectedOffset || length > record.descriptor.byteCount - offset) {
        throw TWCPError::integrityMismatch(fileID);
    }
    // A sender that outruns its credit or sends oversized chunks would have the channel hold far more
    // than the window: the offer ends.
    if (length > TransferSender::largestChunkSize ||
        offset - record.lastFlowAt > TransferSender::creditWindow) {
        co_await endStream(streamID);
        throw TWCPError::flowViolation();
    }
    // The file's partial file is opened with its first chunk, in the same trip to the blocking pool.
    record.opened = true;
    auto write = [folder = folder_, writer = record.writer, descriptor = record.descriptor, offset,
                  payload = std::move(frame.payload)] {
        const auto target = writer ? writer : folder.openPartial(descriptor, offset);
        target->write(ByteView(payload).subspan(8));
        return target;
    };
    std::shared_ptr<IncrementalWriter> writer;
    std::exception_ptr failure;
    try {
        writer = co_await runBlocking(blocking_, std::move(write));
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        // A file that cannot be written ends its offer: the sender stops at the one error it is sent.
        co_await endStream(streamID);
        std::rethrow_exception(failure);
    }
    // cancelAll or a new offer of the file may have run while the bytes were written.
    const auto found = incoming_.find(fileID);
    if (found == incoming_.end() || found->second.expectedOffset != offset ||
        (found->second.writer && found->second.writer != writer)) {
        co_return;
    }
    found->second.writer = writer;
    found->second.expectedOffset = offset + length;
    received(found->second.offerID, length);
    co_await sendFlowIfDue(fileID, streamID);
}

asio::awaitable<void> TransferReceiver::sendFlowIfDue(std::string fileID, std::uint64_t streamID) {
    Incoming& record = incoming_.at(fileID);
    const std::uint64_t written = record.writer->writtenBytes();
    // A flow of the whole file is kept for the confirmation after it is placed: the sender needs no
    // credit after its last chunk.
    if (written - record.lastFlowAt < flowInterval || written == record.descriptor.byteCount) {
        co_return;
    }
    record.lastFlowAt = written;
    auto flow = TWCPFrame::json(TWCPFrameKind::flow, FlowMessage{fileID, written}, streamID);
    co_await session_->send(std::move(flow));
}

asio::awaitable<void> TransferReceiver::handleCompleteOnStrand(CompleteMessage complete,
                                                               std::uint64_t streamID) {
    if (endedStreams_.contains(streamID)) {
        co_return;
    }
    const auto found = incoming_.find(complete.fileID);
    if (found == incoming_.end()) {
        throw TWCPError::unknownStream(streamID);
    }
    Arrived arrived{found->second, std::move(complete), false};
    forget(arrived.complete.fileID);
    arrived.confirmsOffer = !streamFiles_.contains(streamID);
    if (!arrived.record.writer) {
        // A file that got no chunk (an empty one) is created only now.
        auto open = [folder = folder_, descriptor = arrived.record.descriptor,
                     from = arrived.record.expectedOffset] { return folder.openPartial(descriptor, from); };
        arrived.record.writer = co_await runBlocking(blocking_, std::move(open));
    }
    arrived_.push_back(std::move(arrived));
    if (!placing_) {
        placing_ = true;
        asio::co_spawn(strand(), placeBatches(), asio::detached);
    }
    // Each waiting file holds its partial file open: their number stays well below the descriptor limit.
    while (arrived_.size() >= waitingPlacements) {
        co_await placementProgress();
    }
}

asio::awaitable<void> TransferReceiver::drain() {
    return enter(drainOnStrand());
}

asio::awaitable<void> TransferReceiver::drainOnStrand() {
    while (placing_) {
        co_await placementProgress();
    }
}

asio::awaitable<void> TransferReceiver::placementProgress() {
    const Completion<std::monostate> progress(strand());
    placementWaiters_.push_back(progress);
    co_await progress.wait();
}

// Syncs, verifies and places the files that arrived, a batch at a time, while the next ones are received.
asio::awaitable<void> TransferReceiver::placeBatches() {
    const auto keepAlive = shared_from_this();
    while (!arrived_.empty()) {
        auto batch = std::exchange(arrived_, {});
        auto placeAll = [folder = folder_, batch] {
            std::vector<ReceiveFolder::Arrival> arrivals;
            for (const auto& [record, complete, confirmsOffer] : batch) {
                arrivals.push_back({record.writer, complete, record.safeName});
            }
            return folder.placeAll(arrivals);
        };
        auto placed = co_await runBlocking(blocking_, std::move(placeAll));
        for (std::size_t i = 0; i < batch.size(); ++i) {
            co_await announce(std::move(batch[i]), std::move(placed[i]));
        }
        wakePlacementWaiters();
    }
    placing_ = false;
    wakePlacementWaiters();
}

void TransferReceiver::wakePlacementWaiters() {
    for (const auto& waiter : std::exchange(placementWaiters_, {})) {
        waiter.resume({});
    }
}

// A placed file is announced, and confirmed to the sender when it ends its offer; a refused one is
// reported to the sender, which ends the offer there.
asio::awaitable<void> TransferReceiver::announce(Arrived arrived, ReceiveFolder::Placement placement) {
    const std::uint64_t streamID = arrived.record.streamID;
    const auto& complete = arrived.complete;
    settle(arrived.record.offerID);
    TWCPFrame answer =
        TWCPFrame::json(TWCPFrameKind::flow, FlowMessage{complete.fileID, complete.byteCount}, streamID);
    if (const auto* path = std::get_if<std::filesystem::path>(&placement)) {
        ReceivedFile file{complete.fileID, path->filename().string(), std::nullopt,
                          *path,           complete.byteCount,        arrived.record.descriptor.utType};
        if (arrived.record.descriptor.name != file.name) {
            file.originalName = arrived.record.descriptor.name;
        }
        completed_.push(std::move(file));
        if (!arrived.confirmsOffer) {
            co_return;
        }
    } else {
        answer =
            PeerError::report(TWCPFrameKind::complete, streamID, std::get<std::exception_ptr>(placement));
    }
    try {
        co_await session_->send(std::move(answer));
    } catch (const std::exception&) {
        // The connection is gone; the sender learns of its end from there.
    }
}

asio::awaitable<void> TransferReceiver::cancelAllOnStrand() {
    std::vector<std::string> fileIDs;
    for (const auto& [fileID, record] : incoming_) {
        fileIDs.push_back(fileID);
    }
    co_await abandon(std::move(fileIDs), Partials::keepThoseWithBytes);
}

asio::awaitable<void> TransferReceiver::cancelOffer(std::string offerID) {
    return enter(cancelOfferOnStrand(std::move(offerID)));
}

asio::awaitable<void> TransferReceiver::handleCancel(std::string fileID) {
    return enter(handleCancelOnStrand(std::move(fileID)));
}

asio::awaitable<void> TransferReceiver::cancelOfferOnStrand(std::string offerID) {
    const auto first = std::find_if(incoming_.begin(), incoming_.end(),
                                    [&](const auto& entry) { return entry.second.offerID == offerID; });
    if (first == incoming_.end()) {
        co_return;
    }
    const std::uint64_t streamID = first->second.streamID;
    const auto& queue = streamFiles_.at(streamID);
    std::vector<std::string> fileIDs(queue.begin(), queue.end());
    endedStreams_.insert(streamID);
    co_await abandon(fileIDs, Partials::remove);
    for (auto& fileID : fileIDs) {
        auto frame =
            TWCPFrame::json(TWCPFrameKind::cancel, CancelMessage{offerID, std::move(fileID)}, streamID);
        co_await session_->send(std::move(frame));
    }
}

asio::awaitable<void> TransferReceiver::handleCancelOnStrand(std::string fileID) {
    const auto found = incoming_.find(fileID);
    if (found == incoming_.end()) {
        co_return;
    }
    const std::uint64_t streamID = found->second.streamID;
    // Chunks of it still on the way would otherwise reach the next file of the offer.
    if (streamFiles_.at(streamID).front() == fileID) {
        endedStreams_.insert(streamID);
    }
    std::vector<std::string> cancelled{fileID};
    co_await abandon(std::move(cancelled), Partials::remove);
}

asio::awaitable<void> TransferReceiver::endStream(std::uint64_t streamID) {
    endedStreams_.insert(streamID);
    const auto files = streamFiles_.find(streamID);
    if (files != streamFiles_.end()) {
        std::vector<std::string> fileIDs(files->second.begin(), files->second.end());
        co_await abandon(std::move(fileIDs), Partials::keepThoseWithBytes);
    }
}

// Forgets the files. Their partial files go when asked; otherwise only one opened for a file that holds
// none of its bytes goes (its open created it), and one with bytes stays for a later resume. Dropping the
// writers closes their files once any write in progress has finished.
asio::awaitable<void> TransferReceiver::abandon(std::vector<std::string> fileIDs, Partials partials) {
    std::vector<FileDescriptor> toRemove;
    for (const auto& fileID : fileIDs) {
        const auto found = incoming_.find(fileID);
        if (found == incoming_.end()) {
            continue;
        }
        const bool created = found->second.opened || found->second.expectedOffset > 0;
        if (partials == Partials::remove ? created
                                         : found->second.opened && found->second.expectedOffset == 0) {
            toRemove.push_back(found->second.descriptor);
        }
        const std::string offerID = found->second.offerID;
        forget(fileID);
        settle(offerID);
    }
    if (toRemove.empty()) {
        co_return;
    }
    auto remove = [folder = folder_, toRemove = std::move(toRemove)] {
        for (const auto& descriptor : toRemove) {
            folder.removePartial(descriptor);
        }
    };
    co_await runBlocking(blocking_, std::move(remove));
}

TransferReceiver::Incoming& TransferReceiver::fileBeingSent(std::uint64_t streamID) {
    const auto files = streamFiles_.find(streamID);
    if (files == streamFiles_.end() || files->second.empty()) {
        throw TWCPError::unknownStream(streamID);
    }
    return incoming_.at(files->second.front());
}

void TransferReceiver::forget(const std::string& fileID) {
    const auto found = incoming_.find(fileID);
    if (found == incoming_.end()) {
        return;
    }
    const auto files = streamFiles_.find(found->second.streamID);
    auto& queue = files->second;
    queue.erase(std::find(queue.begin(), queue.end(), fileID));
    if (queue.empty()) {
        streamFiles_.erase(files);
    }
    incoming_.erase(found);
}

// An offer without files ends as it is accepted.
void TransferReceiver::track(Tally tally) {
    tally.reportedBytes = tally.offer.receivedBytes;
    offers_.push(tally.offer);
    if (tally.filesLeft == 0) {
        tally.offer.ended = true;
        offers_.push(std::move(tally.offer));
        return;
    }
    const std::string offerID = tally.offer.offerID;
    tallies_[offerID] = std::move(tally);
}

// Reported every flow interval, so that thousands of small files do not make as many reports.
void TransferReceiver::received(const std::string& offerID, std::uint64_t bytes) {
    const auto found = tallies_.find(offerID);
    if (found == tallies_.end()) {
        return;
    }
    Tally& tally = found->second;
    tally.offer.receivedBytes += bytes;
    if (tally.offer.receivedBytes - tally.reportedBytes >= flowInterval) {
        tally.reportedBytes = tally.offer.receivedBytes;
        offers_.push(tally.offer);
    }
}

void TransferReceiver::settle(const std::string& offerID) {
    const auto found = tallies_.find(offerID);
    if (found == tallies_.end() || --found->second.filesLeft > 0) {
        return;
    }
    found->second.offer.ended = true;
    offers_.push(std::move(found->second.offer));
    tallies_.erase(found);
}

} // namespace tarnwick
