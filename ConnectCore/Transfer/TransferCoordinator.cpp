#include "ConnectCore/Transfer/TransferCoordinator.hpp"

#include "ConnectCore/Transfer/PeerError.hpp"
#include "TarnwickConnectProtocol/Crypto/UUID.hpp"
#include "TarnwickConnectProtocol/Messages/CancelMessage.hpp"
#include "TarnwickConnectProtocol/Messages/ErrorMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RejectMessage.hpp"

#include <algorithm>

namespace tarnwick {

TransferCoordinator::TransferCoordinator(const asio::any_io_executor& executor,
                                         std::shared_ptr<TWCPSession> session,
                                         std::filesystem::path downloads, asio::any_io_executor blocking,
                                         std::chrono::steady_clock::duration outcomeWait)
    : Actor(executor),
      session_(std::move(session)),
      sender_(std::make_shared<TransferSender>(executor, session_, blocking, outcomeWait)),
      receiver_(std::make_shared<TransferReceiver>(executor, session_, std::move(downloads), blocking)),
      // The dialling side takes odd streams and the accepting side even ones, so the two never collide.
      nextStreamID_(session_->role() == TWCPRole::initiator ? 1 : 2) {}

asio::awaitable<void> TransferCoordinator::send(std::vector<std::filesystem::path> paths,
                                                std::optional<std::string> origin,
                                                ProgressCallback onProgress) {
    auto transfer = co_await describe(std::move(paths), std::move(origin));
    co_await send(std::move(transfer), std::move(onProgress));
}

asio::awaitable<OutgoingTransfer> TransferCoordinator::describe(std::vector<std::filesystem::path> paths,
                                                                std::optional<std::string> origin) {
    return enter(describeOnStrand(std::move(paths), std::move(origin)));
}

asio::awaitable<void> TransferCoordinator::send(OutgoingTransfer transfer, ProgressCallback onProgress) {
    return enter(sendOnStrand(std::move(transfer), std::move(onProgress)));
}

asio::awaitable<void> TransferCoordinator::retry(OutgoingTransfer transfer, ProgressCallback onProgress) {
    auto current = co_await renewed(std::move(transfer));
    co_await send(std::move(current), std::move(onProgress));
}

asio::awaitable<void> TransferCoordinator::cancel(std::string transferID) {
    return enter(cancelOnStrand(std::move(transferID)));
}

asio::awaitable<void> TransferCoordinator::run() {
    return enter(receiveLoop(weak_from_this(), session_));
}

asio::awaitable<OutgoingTransfer>
TransferCoordinator::describeOnStrand(std::vector<std::filesystem::path> paths,
                                      std::optional<std::string> origin) {
    OutgoingTransfer transfer{UUID::random(), std::move(origin), {}};
    transfer.files = co_await sender_->describe(std::move(paths));
    co_return transfer;
}

asio::awaitable<OutgoingTransfer> TransferCoordinator::renewed(OutgoingTransfer transfer) const {
    std::vector<std::filesystem::path> changed;
    for (const auto& file : transfer.files) {
        std::error_code error;
        const auto size = std::filesystem::file_size(file.path, error);
        const auto modified = std::filesystem::last_write_time(file.path, error);
        if (error || size != file.descriptor.byteCount || modified != file.modified) {
            changed.push_back(file.path);
        }
    }
    // Changed files are described afresh, under new file IDs.
    auto described = co_await sender_->describe(changed);
    auto next = described.begin();
    for (auto& file : transfer.files) {
        if (next != described.end() && file.path == next->path) {
            file = std::move(*next++);
        }
    }
    co_return transfer;
}

asio::awaitable<void> TransferCoordinator::sendOnStrand(OutgoingTransfer transfer,
                                                        ProgressCallback onProgress) {
    // A send outlives its caller's hold on the coordinator if it must: its waits are in here.
    const auto keepAlive = shared_from_this();
    OfferMessage offer{UUID::random(), {}, transfer.origin};
    RunningOffer running{offer.offerID, transfer.transferID, {}};
    for (const auto& file : transfer.files) {
        offer.files.push_back(file.descriptor);
        running.fileIDs.push_back(file.descriptor.fileID);
    }
    const std::uint64_t streamID = nextStreamID_;
    nextStreamID_ += 2;
    // A new offer is a new question: an earlier cancel of these files answered an earlier one.
    co_await sender_->forgetCancels(running.fileIDs);
    runningOffers_.emplace(streamID, std::move(running));
    std::exception_ptr failure;
    try {
        co_await sendFiles(std::move(transfer), std::move(offer), streamID, onProgress);
    } catch (...) {
        failure = std::current_exception();
    }
    runningOffers_.erase(streamID);
    if (failure) {
        std::rethrow_exception(failure);
    }
}

asio::awaitable<void> TransferCoordinator::sendFiles(OutgoingTransfer transfer, OfferMessage offer,
                                                     std::uint64_t streamID, ProgressCallback onProgress) {
    const AcceptMessage accepted = co_await offerAndWait(offer, streamID);
    for (const auto& file : transfer.files) {
        const auto resume = accepted.resumeOffsets.find(file.descriptor.fileID);
        const std::uint64_t resumeFrom = resume == accepted.resumeOffsets.end() ? 0 : resume->second;
        co_await sender_->send(file.path, file.descriptor, resumeFrom, streamID, onProgress);
    }
    // The peer handles its frames in order: its verdict on the last file follows those on the others.
    if (!offer.files.empty()) {
        co_await sender_->awaitOutcome(offer.files.back().fileID, streamID);
    }
}

asio::awaitable<void> TransferCoordinator::cancelOnStrand(std::string transferID) {
    const auto running = std::find_if(runningOffers_.begin(), runningOffers_.end(), [&](const auto& entry) {
        return entry.second.transferID == transferID;
    });
    if (running == runningOffers_.end()) {
        co_await receiver_->cancelOffer(transferID);
        co_return;
    }
    const std::uint64_t streamID = running->first;
    const RunningOffer offer = running->second;
    if (auto waiter = takeWaiter(offer.offerID)) {
        waiter->fail(std::make_exception_ptr(TWCPError::cancelled()));
    }
    for (const auto& fileID : offer.fileIDs) {
        co_await sender_->handleCancel(fileID);
        auto frame = TWCPFrame::json(TWCPFrameKind::cancel, CancelMessage{offer.offerID, fileID}, streamID);
        co_await session_->send(std::move(frame));
    }
}

asio::awaitable<AcceptMessage> TransferCoordinator::offerAndWait(OfferMessage offer, std::uint64_t streamID) {
    if (closedError_) {
        throw *closedError_;
    }
    // Registered before the offer goes out, so that an answer arriving at once finds it.
    const Completion<AcceptMessage> answer(strand());
    acceptWaiters_.emplace(offer.offerID, answer);
    std::exception_ptr failure;
    try {
        auto frame = TWCPFrame::json(TWCPFrameKind::offer, offer, streamID);
        co_await session_->send(std::move(frame));
        co_return co_await answer.wait();
    } catch (...) {
        failure = std::current_exception();
    }
    acceptWaiters_.erase(offer.offerID);
    std::rethrow_exception(failure);
}

asio::awaitable<void> TransferCoordinator::receiveLoop(std::weak_ptr<TransferCoordinator> weakSelf,
                                                       std::shared_ptr<TWCPSession> session) {
    const auto frames = session->frames();
    for (;;) {
        std::optional<TWCPFrame> frame;
        try {
            frame = co_await frames.next();
        } catch (const std::exception&) {
            // The stream ended with an error; the session's state says which.
        }
        const auto self = weakSelf.lock();
        if (!self) {
            co_return;
        }
        if (!frame) {
            co_await self->connectionEnded();
            co_return;
        }
        co_await self->handle(std::move(*frame));
        co_await session->frameHandled();
    }
}

asio::awaitable<void> TransferCoordinator::handle(TWCPFrame frame) {
    const TWCPHeader header = frame.header;
    std::exception_ptr failure;
    try {
        co_await route(std::move(frame));
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        co_await answerFailure(header, failure);
    }
}

asio::awaitable<void> TransferCoordinator::route(TWCPFrame frame) {
    const TWCPFrameKind kind = frame.header.kind;
    const std::uint64_t streamID = frame.header.streamID;
    switch (kind) {
    case TWCPFrameKind::offer: {
        auto offer = frame.decode<OfferMessage>(kind);
        co_await receiver_->handleOffer(std::move(offer), streamID);
        break;
    }
    case TWCPFrameKind::accept:
        if (auto accept = frame.decode<AcceptMessage>(kind); auto waiter = takeWaiter(accept.offerID)) {
            waiter->resume(std::move(accept));
        }
        break;
    case TWCPFrameKind::reject:
        if (auto reject = frame.decode<RejectMessage>(kind); auto waiter = takeWaiter(reject.offerID)) {
            waiter->fail(std::make_exception_ptr(TWCPError::rejectedByPeer(reject.reason)));
        }
        break;
    case TWCPFrameKind::chunk:
        co_await receiver_->handleChunk(std::move(frame));
        break;
    case TWCPFrameKind::flow: {
        auto flow = frame.decode<FlowMessage>(kind);
        co_await sender_->handleFlow(std::move(flow));
        break;
    }
    case TWCPFrameKind::complete: {
        auto complete = frame.decode<CompleteMessage>(kind);
        co_await receiver_->handleComplete(std::move(complete), streamID);
        break;
    }
    case TWCPFrameKind::cancel:
        // A cancel naming only an offer asks for nothing this side does.
        if (auto cancel = frame.decode<CancelMessage>(kind); cancel.fileID) {
            // From our receiver's side about a file we send, or from a sender about a file we receive.
            co_await sender_->handleCancel(*cancel.fileID);
            co_await receiver_->handleCancel(std::move(*cancel.fileID));
        }
        break;
    case TWCPFrameKind::error:
        co_await handlePeerError(std::move(frame));
        break;
    default:
        break; // resume, live preview and range frames are neither sent nor served here
    }
}

asio::awaitable<void> TransferCoordinator::handlePeerError(TWCPFrame frame) {
    const std::uint64_t streamID = frame.header.streamID;
    const auto running = runningOffers_.find(streamID);
    if (running == runningOffers_.end()) {
        co_return; // not about a send of ours that is still running
    }
    // An unreadable report still ends the send: waiting for credit would never end. It is never answered.
    TWCPError error = TWCPError::malformedPayload(ErrorMessage::typeName);
    try {
        error = PeerError::fromMessage(frame.decode<ErrorMessage>(TWCPFrameKind::error), streamID);
    } catch (const TWCPError&) {
    }
    if (auto waiter = takeWaiter(running->second.offerID)) {
        waiter->fail(std::make_exception_ptr(error));
    }
    co_await sender_->failStream(streamID, error);
}

asio::awaitable<void> TransferCoordinator::answerFailure(TWCPHeader header, std::exception_ptr failure) {
    try {
        auto frame = PeerError::report(header.kind, header.streamID, failure);
        co_await session_->send(std::move(frame));
    } catch (const std::exception&) {
        // The peer will not hear of it; the session reports its own end.
    }
}

asio::awaitable<void> TransferCoordinator::connectionEnded() {
    const auto state = co_await session_->state();
    const TWCPError error = PeerError::fromCloseCode(state.closeCode);
    closedError_ = error;
    auto waiters = std::exchange(acceptWaiters_, {});
    for (auto& [offerID, waiter] : waiters) {
        waiter.fail(std::make_exception_ptr(error));
    }
    co_await sender_->connectionEnded(error);
    co_await receiver_->cancelAll();
    // Files that arrived whole are still placed and announced; nothing completes after them.
    co_await receiver_->drain();
    receiver_->completed().finish();
    receiver_->refusals().finish();
    receiver_->offers().finish();
}

std::optional<Completion<AcceptMessage>> TransferCoordinator::takeWaiter(const std::string& offerID) {
    const auto found = acceptWaiters_.find(offerID);
    if (found == acceptWaiters_.end()) {
        return std::nullopt;
    }
    auto waiter = std::move(found->second);
    acceptWaiters_.erase(found);
    return waiter;
}

} // namespace tarnwick
