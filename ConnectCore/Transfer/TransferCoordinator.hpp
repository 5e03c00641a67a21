#pragma once

#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Async/Completion.hpp"
#include "ConnectCore/Session/TWCPSession.hpp"
#include "ConnectCore/Transfer/OutgoingTransfer.hpp"
#include "ConnectCore/Transfer/TransferReceiver.hpp"
#include "ConnectCore/Transfer/TransferSender.hpp"
#include "TarnwickConnectProtocol/Messages/AcceptMessage.hpp"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// Moves files both ways over one ready session: it offers local files and hands accepted ones to its
/// sender, and routes every frame the session receives to the sender, the receiver or a waiting offer,
/// answering a frame it cannot handle with one `error` frame "<kind> failed" on that frame's stream.
/// Outgoing offers use streams 1, 3, 5, … on the dialling side and 2, 4, 6, … on the accepting side.
class TransferCoordinator : public Actor, public std::enable_shared_from_this<TransferCoordinator> {
public:
    using ProgressCallback = TransferSender::ProgressCallback;

    /// Receives into `downloads`, which is created when missing (its failure is thrown). `blocking` is a
    /// small thread pool for disk work and hashing, which must not run on the threads that drive sockets.
    /// `outcomeWait` is how long after its last `complete` an offer waits for the peer to refuse a file.
    TransferCoordinator(const asio::any_io_executor& executor, std::shared_ptr<TWCPSession> session,
                        std::filesystem::path downloads, asio::any_io_executor blocking,
                        std::chrono::steady_clock::duration outcomeWait = TransferSender::outcomeWait);

    const std::shared_ptr<TransferSender>& sender() const { return sender_; }
    const std::shared_ptr<TransferReceiver>& receiver() const { return receiver_; }

    /// Describes the files, offers them as one offer on a fresh stream, and sends them one after another
    /// once accepted. Returns when every file's `complete` has been sent and the peer has confirmed the
    /// last file or not refused it within the outcome wait; the offer's stream stays registered until
    /// then, so a refusal after the last `complete` fails the send. Throws the first failure:
    /// a file's error (before anything is sent), `rejectedByPeer` with the peer's reason, the peer's error
    /// reported on the offer's stream, the session's closing error (or `peerClosed`), or a send error.
    asio::awaitable<void> send(std::vector<std::filesystem::path> paths, std::optional<std::string> origin,
                               ProgressCallback onProgress);

    /// Measures and hashes the files under fresh file IDs and a fresh transfer ID; nothing is sent. The
    /// files' errors propagate.
    asio::awaitable<OutgoingTransfer> describe(std::vector<std::filesystem::path> paths,
                                               std::optional<std::string> origin);
    /// Offers described files as one offer (a fresh offer ID, their own file IDs) and sends them, as the
    /// send of paths does. `cancel(transfer.transferID)` stops it.
    asio::awaitable<void> send(OutgoingTransfer transfer, ProgressCallback onProgress);
    /// Sends a transfer again, typically one that failed or was cut on an earlier connection: files of
    /// the same size and modification time keep their file IDs, so the receiver resumes them from its
    /// partial files; changed files are described afresh under new IDs.
    asio::awaitable<void> retry(OutgoingTransfer transfer, ProgressCallback onProgress);
    /// Stops a transfer: a running send of ours with this transfer ID sends `cancel` for each of its files
    /// and ends with `cancelled`; an incoming offer with this offer ID is cancelled file by file towards
    /// its sender and its partial files are removed. An unknown ID does nothing.
    asio::awaitable<void> cancel(std::string transferID);

    /// The receive loop: handles the session's frames one at a time, in order, until the session ends;
    /// then ends every wait of a running send and abandons incoming files (their partial files stay).
    /// It holds the coordinator weakly, so dropping the coordinator ends it.
    asio::awaitable<void> run();

private:
    /// A send of ours between its offer and its outcome.
    struct RunningOffer {
        std::string offerID;
        std::string transferID;
        std::vector<std::string> fileIDs;
    };

    asio::awaitable<OutgoingTransfer> describeOnStrand(std::vector<std::filesystem::path> paths,
                                                       std::optional<std::string> origin);
    asio::awaitable<void> sendOnStrand(OutgoingTransfer transfer, ProgressCallback onProgress);
    asio::awaitable<void> cancelOnStrand(std::string transferID);
    asio::awaitable<OutgoingTransfer> renewed(OutgoingTransfer transfer) const;
    asio::awaitable<void> sendFiles(OutgoingTransfer transfer, OfferMessage offer, std::uint64_t streamID,
                                    ProgressCallback onProgress);
    asio::awaitable<AcceptMessage> offerAndWait(OfferMessage offer, std::uint64_t streamID);

    static asio::awaitable<void> receiveLoop(std::weak_ptr<TransferCoordinator> weakSelf,
                                             std::shared_ptr<TWCPSession> session);
    asio::awaitable<void> handle(TWCPFrame frame);
    asio::awaitable<void> route(TWCPFrame frame);
    asio::awaitable<void> handlePeerError(TWCPFrame frame);
    asio::awaitable<void> answerFailure(TWCPHeader header, std::exception_ptr failure);
    asio::awaitable<void> connectionEnded();
    std::optional<Completion<AcceptMessage>> takeWaiter(const std::string& offerID);

    const std::shared_ptr<TWCPSession> session_;
    const std::shared_ptr<TransferSender> sender_;
    const std::shared_ptr<TransferReceiver> receiver_;
    std::uint64_t nextStreamID_;
    /// Offer ID → the wait of its `send` for the answer; registered before the offer goes out.
    std::map<std::string, Completion<AcceptMessage>> acceptWaiters_;
    /// Stream → every running send, so that the peer's errors on it and cancels reach the send.
    std::map<std::uint64_t, RunningOffer> runningOffers_;
    /// Set once the session has ended: later sends fail at once.
    std::optional<TWCPError> closedError_;
};

} // namespace tarnwick
