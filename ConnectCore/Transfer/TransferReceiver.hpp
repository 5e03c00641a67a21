#pragma once

#include "ConnectCore/Async/Actor.hpp"
#include "ConnectCore/Async/AsyncQueue.hpp"
#include "ConnectCore/Async/Completion.hpp"
#include "ConnectCore/Session/TWCPFrameSink.hpp"
#include "ConnectCore/Transfer/IncomingOffer.hpp"
#include "ConnectCore/Transfer/IncrementalWriter.hpp"
#include "ConnectCore/Transfer/ReceiveFolder.hpp"
#include "ConnectCore/Transfer/ReceivedFile.hpp"
#include "TarnwickConnectProtocol/Messages/CompleteMessage.hpp"
#include "TarnwickConnectProtocol/Messages/OfferMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RejectMessage.hpp"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tarnwick {

/// The receiving half of transfers: it answers offers through an approval function, writes each file's
/// chunks in order to a hidden partial file (resuming one left by an earlier attempt), confirms every
/// 4 MiB written, verifies size and SHA-256, places the file under a unique safe name and confirms the
/// last file of each offer to the sender with a `flow` of its whole size. Files that arrived are synced,
/// verified and placed in batches beside the receiving of the next ones, so many small files cost about
/// one disk sync per batch instead of one each.
/// A file that fails verification is deleted; an interrupted one keeps its partial file.
class TransferReceiver : public Actor, public std::enable_shared_from_this<TransferReceiver> {
public:
    /// The answer to an offer.
    struct Decision {
        bool accepted = true;
        std::string reason; ///< why it was rejected

        static Decision accept() { return {}; }
        static Decision reject(std::string reason) { return {false, std::move(reason)}; }
    };
    /// Consulted once per offer; it may suspend (to ask the user), which holds back the connection.
    using Approval = std::function<asio::awaitable<Decision>(OfferMessage)>;

    /// Files that arrived and wait for their batch, at most; the next `complete` waits for room.
    static constexpr std::size_t waitingPlacements = 64;
    /// Bytes written between two `flow` messages for a file.
    static constexpr std::uint64_t flowInterval = 0x400000;
    /// Room an accepted offer must leave free on the receive folder's file system.
    static constexpr std::uint64_t spaceMargin = 256 * 0x100000;
    /// The reject reason for an offer whose files do not fit.
    static constexpr const char* insufficientSpaceReason = "insufficientSpace";
    /// The name given to a file whose offered name has nothing usable left.
    static constexpr const char* fallbackName = "Untitled";

    /// Creates the directory (and its parents); its failure is thrown. `blocking` runs disk work and
    /// hashing, away from the threads that drive sockets.
    TransferReceiver(const asio::any_io_executor& executor, std::shared_ptr<TWCPFrameSink> session,
                     std::filesystem::path directory, asio::any_io_executor blocking);

    const std::filesystem::path& directory() const { return folder_.directory(); }
    /// One element per verified and placed file; buffered without limit, finished by the coordinator when
    /// the connection has ended.
    AsyncQueue<ReceivedFile> completed() const { return completed_; }
    /// Offers refused without asking the approval function, because their files do not fit: the offer ID
    /// and `insufficientSpaceReason`, as sent to the peer. Buffered and finished as `completed`.
    AsyncQueue<RejectMessage> refusals() const { return refusals_; }
    /// Accepted offers as they progress: a report at acceptance, after every `flowInterval` bytes, and a
    /// last one once the offer ended. Buffered and finished as `completed`.
    AsyncQueue<IncomingOffer> offers() const { return offers_; }
    /// Replaces the approval function; the default accepts every offer.
    asio::awaitable<void> setApproval(Approval approve);

    /// Rejects an offer whose remaining bytes (beyond what its partial files hold) do not fit with
    /// `spaceMargin` to spare; else asks the approval function, then rejects or accepts with the offsets
    /// already held. File IDs that are not plain tokens, or repeated, fail `malformedPayload`.
    asio::awaitable<void> handleOffer(OfferMessage offer, std::uint64_t streamID);
    /// Writes a chunk to the file being sent on its stream.
    asio::awaitable<void> handleChunk(TWCPFrame frame);
    /// Queues a file for its batch, which verifies and places it, then announces it on `completed`; a file
    /// refused there is reported to the sender with an `error` frame on its stream.
    asio::awaitable<void> handleComplete(CompleteMessage complete, std::uint64_t streamID);
    /// Returns once every file that arrived so far is placed or refused and announced.
    asio::awaitable<void> drain();
    /// Stops receiving an offer: tells its sender with a `cancel` per file still to come, removes their
    /// partial files and drops whatever of the offer is still on its way. An unknown offer does nothing.
    asio::awaitable<void> cancelOffer(std::string offerID);
    /// The sender gave up a file: it is forgotten with its partial file; when it was being sent, the rest
    /// of its offer's frames are dropped.
    asio::awaitable<void> handleCancel(std::string fileID);
    /// Abandons every incoming file; the partial files stay for a later resume.
    asio::awaitable<void> cancelAll();

private:
    /// One accepted file. Its partial file is opened only when the file becomes the one its stream is
    /// sending, and closed after its `complete`, so an offer of thousands of files holds one descriptor.
    struct Incoming {
        FileDescriptor descriptor;
        std::string safeName;
        std::shared_ptr<IncrementalWriter> writer; ///< none until the file's first chunk or its complete
        bool opened = false;              ///< an open of its partial file was started: the file may exist
        std::uint64_t lastFlowAt = 0;     ///< the byte count reported in the last flow (or the resume offset)
        std::uint64_t expectedOffset = 0; ///< where the next chunk must start
        std::uint64_t streamID = 0;
        std::string offerID;
    };

    /// A file whose bytes have all arrived, waiting for its batch.
    struct Arrived {
        Incoming record;
        CompleteMessage complete;
        bool confirmsOffer = false; ///< the offer's last file: its sender waits for the verdict
    };

    /// An accepted offer that has not ended.
    struct Tally {
        IncomingOffer offer;
        std::size_t filesLeft = 0;
        std::uint64_t reportedBytes = 0;
    };

    asio::awaitable<void> setApprovalOnStrand(Approval approve);
    asio::awaitable<void> handleOfferOnStrand(OfferMessage offer, std::uint64_t streamID);
    asio::awaitable<void> accept(OfferMessage offer, std::vector<std::uint64_t> offsets,
                                 std::uint64_t streamID);
    asio::awaitable<void> reject(std::string offerID, std::string reason, std::uint64_t streamID);
    asio::awaitable<void> handleChunkOnStrand(TWCPFrame frame);
    asio::awaitable<void> handleCompleteOnStrand(CompleteMessage complete, std::uint64_t streamID);
    asio::awaitable<void> drainOnStrand();
    asio::awaitable<void> placeBatches();
    asio::awaitable<void> announce(Arrived arrived, ReceiveFolder::Placement placement);
    asio::awaitable<void> placementProgress();
    void wakePlacementWaiters();
    asio::awaitable<void> cancelAllOnStrand();
    asio::awaitable<void> cancelOfferOnStrand(std::string offerID);
    asio::awaitable<void> handleCancelOnStrand(std::string fileID);
    asio::awaitable<void> sendFlowIfDue(std::string fileID, std::uint64_t streamID);
    asio::awaitable<void> endStream(std::uint64_t streamID);
    /// What happens to the partial files of abandoned files.
    enum class Partials { keepThoseWithBytes, remove };
    asio::awaitable<void> abandon(std::vector<std::string> fileIDs, Partials partials);
    Incoming& fileBeingSent(std::uint64_t streamID);
    void forget(const std::string& fileID);
    void received(const std::string& offerID, std::uint64_t bytes);
    /// Reports an accepted offer and follows it until it ends.
    void track(Tally tally);
    /// One of the offer's files arrived, failed or was given up.
    void settle(const std::string& offerID);

    const std::shared_ptr<TWCPFrameSink> session_;
    const ReceiveFolder folder_;
    const asio::any_io_executor blocking_;
    Approval approve_;
    std::map<std::string, Incoming> incoming_;
    /// Per stream, its accepted files not yet completed, in offer order: the sender sends them one after
    /// another on the offer's stream, so the first is the one its chunks belong to.
    std::map<std::uint64_t, std::deque<std::string>> streamFiles_;
    /// Streams ended after a failure that was reported once: their later frames are dropped unanswered.
    std::set<std::uint64_t> endedStreams_;
    std::vector<Arrived> arrived_;
    bool placing_ = false;
    /// Woken after each batch: `complete`s waiting for room and `drain`.
    std::vector<Completion<std::monostate>> placementWaiters_;
    AsyncQueue<ReceivedFile> completed_;
    AsyncQueue<RejectMessage> refusals_;
    std::map<std::string, Tally> tallies_;
    AsyncQueue<IncomingOffer> offers_;
};

} // namespace tarnwick
