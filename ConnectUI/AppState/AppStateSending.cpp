// Sending files, their progress and outcome, and the received list.
#include "ConnectCore/Account/APIError.hpp"
#include "ConnectUI/AppState/AppState.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <QPointer>
#include <asio/post.hpp>

#include <system_error>

namespace tarnwick {
namespace {

std::string describeTWCPError(const TWCPError& error) {
    switch (error.errorCase()) {
    case TWCPError::Case::integrityMismatch:
        return "The file arrived damaged. Try sending it again.";
    case TWCPError::Case::rejectedByPeer:
        return "The device declined the transfer.";
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

} // namespace

void AppState::send(const std::vector<std::filesystem::path>& urls) {
    const auto destination = selectedDestination();
    if (!account_ || !destination || urls.empty()) {
        return;
    }
    auto batch = transfers_.addBatch(urls, destination->name);
    Q_EMIT transfersChanged();
    spawn(performSend(urls, std::move(batch), destination->transfers), "send");
}

asio::awaitable<void> AppState::performSend(std::vector<std::filesystem::path> urls,
                                            TransferList::Batch batch,
                                            std::shared_ptr<TransferCoordinator> coordinator) {
    QPointer<AppState> guard(this);
    const auto started = std::chrono::steady_clock::now();
    // Reports come from the engine's threads; each is applied here, while this object exists.
    auto onProgress = [main = setup_.main, guard, started, batch](const TransferProgress& progress) {
        asio::post(main, [guard, started, batch, progress] {
            if (guard) {
                guard->updateProgress(progress, started, batch);
            }
        });
    };
    std::exception_ptr failure;
    try {
        const std::optional<std::string> noOrigin;
        auto sending = coordinator->send(std::move(urls), noOrigin, std::move(onProgress));
        co_await std::move(sending);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!guard) {
        co_return;
    }
    if (failure) {
        finishBatch(batch, TransferItem::State::failed(describeTransfer(failure)));
        co_return;
    }
    finishBatch(batch, TransferItem::State::finished());
    sounds_->playSent();
    assign(diagnosis_, std::optional<ReachabilityDiagnosis>(), &AppState::diagnosisChanged);
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
    } catch (const std::filesystem::filesystem_error&) {
        // A local file's trouble, not the network's.
    } catch (const std::system_error& failure) {
        return describeNetworkError(failure.code());
    } catch (...) {
    }
    return "The transfer didn't finish. Try again.";
}

} // namespace tarnwick
