// Sending files, their progress and outcome, and the received list.
#include "ConnectCore/Account/APIError.hpp"
#include "ConnectCore/Transfer/TransferReceiver.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "ConnectUI/AppState/SendableFiles.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <algorithm>
#include <system_error>

namespace tarnwick {
namespace {

std::string describeTWCPError(const TWCPError& error) {
    switch (error.errorCase()) {
    case TWCPError::Case::integrityMismatch:
        return "The file arrived damaged. Try sending it again.";
    case TWCPError::Case::rejectedByPeer:
        return error.text() == TransferReceiver::insufficientSpaceReason
                   ? "The device doesn't have enough space for these files."
                   : "The device declined the transfer.";
    case TWCPError::Case::authenticationFailed:
        return "That device couldn't prove who it is.";
    case TWCPError::Case::cancelled:
        return "Transfer cancelled.";
    case TWCPError::Case::peerClosed:
        return "The device disconnected before the transfer finished.";
    default:
        return "The transfer didn't finish. Try again.";
    }
}

std::string describeNetworkError(const std::error_code& code) {
    if (code == std::errc::no_space_on_device) {
        return "The device has no room left for that file.";
    }
    if (code == std::errc::broken_pipe || code == std::errc::connection_reset ||
        code == std::errc::not_connected) {
        return "The connection closed. Reconnect and try again.";
    }
    if (code == std::errc::timed_out) {
        return "The device stopped responding.";
    }
    return "The connection dropped. Reconnect and try again.";
}

// A local file's trouble, not the network's: the file is named, since a batch fails as a whole.
std::string describeFileError(const std::filesystem::filesystem_error& error) {
    const std::string name = error.path1().filename().string();
    if (name.empty()) {
        return "The transfer didn't finish. Try again.";
    }
    if (error.code() == std::errc::no_such_file_or_directory) {
        return name + " was moved or deleted before it was sent.";
    }
    if (error.code() == std::errc::permission_denied) {
        return name + " can't be read: permission denied.";
    }
    if (error.code() == std::errc::is_a_directory) {
        return name + " is a folder.";
    }
    return name + " couldn't be read.";
}

} // namespace

void AppState::send(const std::vector<std::filesystem::path>& urls) {
    const auto destination = selectedDestination();
    if (!account_ || !destination || urls.empty() || !device_) {
        return;
    }
    // One unreadable file would fail the whole offer: it gets a row of its own that names it instead.
    const auto files = SendableFiles::of(urls);
    for (const auto& file : files.unreadable) {
        transfers_.finish(transfers_.addBatch({file}, destination->name),
                          TransferItem::State::failed("Couldn't read " + file.filename().string() + "."));
    }
    if (files.readable.empty()) {
        Q_EMIT transfersChanged();
        return;
    }
    auto batch = transfers_.addBatch(files.readable, destination->name);
    Q_EMIT transfersChanged();
    const std::uint64_t transfer = ++nextTransfer_;
    sends_.emplace(transfer, Sending{std::move(batch), std::chrono::steady_clock::now()});
    device_->send(transfer, destination->fingerprint, files.readable, std::nullopt);
}

void AppState::cancelTransfer(const std::string& itemID) {
    if (!device_) {
        return;
    }
    if (const auto transfer = sendHolding(sends_, itemID)) {
        device_->cancel(*transfer);
    }
    if (const IncomingTransfer* incoming = incomingWithID(itemID)) {
        device_->cancelReceive(incoming->fingerprint, incoming->offer.offerID);
    }
}

bool AppState::canCancel(const std::string& itemID) const {
    return sendHolding(sends_, itemID) || incomingWithID(itemID);
}

const IncomingTransfer* AppState::incomingWithID(const std::string& itemID) const {
    const auto found = std::ranges::find_if(
        incoming_, [&itemID](const IncomingTransfer& incoming) { return incoming.id() == itemID; });
    return found == incoming_.end() ? nullptr : &*found;
}

void AppState::retryTransfer(const std::string& itemID) {
    if (const auto transfer = sendHolding(failedSends_, itemID)) {
        retrySend(*transfer);
    }
}

void AppState::cancelTransfers() {
    if (!device_) {
        return;
    }
    for (const auto& [transfer, sending] : sends_) {
        device_->cancel(transfer);
    }
    for (const auto& incoming : incoming_) {
        device_->cancelReceive(incoming.fingerprint, incoming.offer.offerID);
    }
}

void AppState::retryTransfers() {
    while (device_ && !failedSends_.empty()) {
        retrySend(failedSends_.begin()->first);
    }
}

void AppState::retrySend(std::uint64_t transfer) {
    if (!device_) {
        return;
    }
    auto sending = failedSends_.extract(transfer);
    sending.mapped().started = std::chrono::steady_clock::now();
    finishBatch(sending.mapped().batch, TransferItem::State::waiting());
    sends_.insert(std::move(sending));
    device_->retry(transfer);
}

std::optional<std::uint64_t> AppState::sendHolding(const std::map<std::uint64_t, Sending>& sends,
                                                   const std::string& itemID) {
    for (const auto& [transfer, sending] : sends) {
        if (std::find(sending.batch.begin(), sending.batch.end(), itemID) != sending.batch.end()) {
            return transfer;
        }
    }
    return std::nullopt;
}

void AppState::updateProgress(const TransferProgress& progress, std::chrono::steady_clock::time_point started,
                              const TransferList::Batch& batch) {
    if (transfers_.applyProgress(progress, std::chrono::steady_clock::now() - started, batch)) {
        Q_EMIT transfersChanged();
    }
}

void AppState::finishBatch(const TransferList::Batch& batch, const TransferItem::State& state) {
    if (transfers_.finish(batch, state)) {
        Q_EMIT transfersChanged();
    }
}

void AppState::sendFromWatchFolder(const std::filesystem::path& file) {
    // Received files are never sent back, even when the downloads folder is itself watched.
    if (isInside(file, receiveFolder())) {
        diagnostic("skipping " + file.filename().string() + ": it arrived in a watched folder");
        return;
    }
    if (selectedDestination()) {
        send({file});
    }
}

void AppState::apply(DeviceEvents::FileSettled settled) {
    sendFromWatchFolder(settled.file);
}

WatchFolderStore::Watching AppState::watching() {
    return {[this](const std::string& id, const std::filesystem::path& folder) {
                if (!device_) {
                    return false;
                }
                device_->watch(id, folder);
                return true;
            },
            [this](const std::string& id) {
                if (device_) {
                    device_->unwatch(id);
                }
            }};
}

void AppState::recordReceived(ReceivedFile file, const std::string& sender) {
    received_.insert(received_.begin(), file);
    if (received_.size() > receivedLimit) {
        received_.resize(receivedLimit);
    }
    Q_EMIT receivedChanged();
    Q_EMIT fileReceived(file, sender);
    sounds_->playReceived();
}

std::string AppState::describeTransfer(const std::exception_ptr& error) {
    if (const auto twcp = TWCPError::from(error)) {
        return describeTWCPError(*twcp);
    }
    try {
        std::rethrow_exception(error);
    } catch (const APIError& failure) {
        return failure.description().empty() ? "The transfer failed." : failure.description();
    } catch (const std::filesystem::filesystem_error& failure) {
        return describeFileError(failure);
    } catch (const std::system_error& failure) {
        return describeNetworkError(failure.code());
    } catch (...) {
    }
    return "The transfer didn't finish. Try again.";
}

} // namespace tarnwick
