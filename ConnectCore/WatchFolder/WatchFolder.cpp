#include "ConnectCore/WatchFolder/WatchFolder.hpp"

#include "ConnectCore/Async/Race.hpp"
#include "ConnectCore/Files/FileAttributes.hpp"

#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

#include <iostream>
#include <system_error>
#include <utility>

namespace tarnwick {
namespace {

using Files = std::vector<std::pair<std::filesystem::path, FileAttributes>>;

// The folder's own regular files, hidden ones included; a folder that cannot be listed has none.
Files regularFilesIn(const std::filesystem::path& folder) {
    Files files;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error);
         !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        if (const auto attributes = FileAttributes::ofRegularFile(entry->path())) {
            files.emplace_back(entry->path(), *attributes);
        }
    }
    return files;
}

std::filesystem::path withoutTrailingSeparator(const std::filesystem::path& folder) {
    const std::filesystem::path normal = folder.lexically_normal();
    return normal.has_filename() ? normal : normal.parent_path();
}

std::optional<std::chrono::system_clock::time_point> modificationDate(const std::filesystem::path& file) {
    const auto attributes = FileAttributes::ofRegularFile(file);
    return attributes ? std::optional(attributes->modified) : std::nullopt;
}

// Stopping cancels the loops; anything else ending them is worth a diagnostic line.
void reportEnd(std::exception_ptr error) {
    if (!error) {
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::system_error& failure) {
        if (failure.code() != asio::error::operation_aborted) {
            std::cout << "watch folder stopped: " << failure.what() << std::endl;
        }
    } catch (const std::exception& failure) {
        std::cout << "watch folder stopped: " << failure.what() << std::endl;
    }
}

} // namespace

WatchFolder::WatchFolder(const asio::any_io_executor& executor, std::filesystem::path url,
                         std::shared_ptr<FileSettleDetector> detector, OnSettled onSettled, Options options)
    : url_(withoutTrailingSeparator(url)),
      detector_(std::move(detector)),
      onSettled_(std::move(onSettled)),
      options_(options),
      strand_(asio::make_strand(executor)) {}

WatchFolder::~WatchFolder() {
    stop();
}

void WatchFolder::start(std::optional<std::uint64_t> since) {
    const std::weak_ptr<WatchFolder> self = shared_from_this();
    std::unique_ptr<FileEventStream> stream;
    if (!eventTask_) {
        try {
            stream = std::make_unique<FileEventStream>(strand_, url_);
        } catch (const std::system_error&) {
            // No notifications (no inotify instance left, or no folder): the rescan finds new files.
        }
    }
    // After the stream exists, so that a file written meanwhile is either listed here or notified.
    markExistingAsDelivered();
    if (stream) {
        {
            std::lock_guard lock(mutex_);
            lastEventID_ = since.value_or(0);
        }
        eventTask_ = Task::spawn(strand_, followEvents(self, std::move(stream)), reportEnd);
    }
    if (!pollTask_) {
        pollTask_ = Task::spawn(strand_, poll(self, options_.pollInterval), reportEnd);
    }
}

void WatchFolder::stop() {
    eventTask_.cancel();
    pollTask_.cancel();
    eventTask_ = Task();
    pollTask_ = Task();
    std::lock_guard lock(mutex_);
    lastEventID_.reset();
}

std::optional<std::uint64_t> WatchFolder::lastEventID() const {
    std::lock_guard lock(mutex_);
    return lastEventID_;
}

// The loop owns the stream, so the notifications end with it, and holds the watcher weakly so that
// dropping the watcher ends the loop.
asio::awaitable<void> WatchFolder::followEvents(std::weak_ptr<WatchFolder> watcher,
                                                std::unique_ptr<FileEventStream> stream) {
    for (;;) {
        auto events = co_await stream->next();
        const auto self = watcher.lock();
        if (!self) {
            co_return;
        }
        if (!events) {
            self->eventsEnded();
            co_return;
        }
        co_await self->handle(std::move(*events));
    }
}

// Holds the watcher weakly between polls, so that dropping the watcher ends the loop.
asio::awaitable<void> WatchFolder::poll(std::weak_ptr<WatchFolder> watcher,
                                        std::chrono::milliseconds interval) {
    for (;;) {
        co_await sleepFor(interval);
        const auto self = watcher.lock();
        if (!self) {
            co_return;
        }
        co_await self->pollOnce();
    }
}

asio::awaitable<void> WatchFolder::handle(std::vector<FileEventStream::Event> events) {
    for (const auto& event : events) {
        {
            std::lock_guard lock(mutex_);
            if (lastEventID_) {
                ++*lastEventID_;
            }
            heardFromStream_ = heardFromStream_ || event.kind == FileEventStream::Event::Kind::changed;
        }
        switch (event.kind) {
        case FileEventStream::Event::Kind::mustRescan:
            enumerateAll();
            break;
        case FileEventStream::Event::Kind::changed:
            enqueueIfNew(event.path, modificationDate(event.path));
            break;
        case FileEventStream::Event::Kind::removed: {
            {
                std::lock_guard lock(mutex_);
                pending_.erase(event.path);
                delivered_.erase(event.path);
            }
            co_await detector_->forget(event.path);
            break;
        }
        }
    }
}

asio::awaitable<void> WatchFolder::pollOnce() {
    bool heardFromStream = false;
    std::vector<std::filesystem::path> candidates;
    {
        std::lock_guard lock(mutex_);
        heardFromStream = heardFromStream_;
    }
    if (!heardFromStream) {
        enumerateAll();
    }
    {
        std::lock_guard lock(mutex_);
        candidates.assign(pending_.begin(), pending_.end());
    }
    for (const auto& file : candidates) {
        const auto before = FileAttributes::ofRegularFile(file);
        const auto verdict = co_await detector_->evaluate(file);
        if (verdict == FileSettleDetector::Verdict::stillWriting) {
            continue;
        }
        // A file changed or gone while it was being judged is not the version that settled: the next
        // poll judges it afresh.
        const bool report = verdict == FileSettleDetector::Verdict::settled && before &&
                            before == FileAttributes::ofRegularFile(file);
        {
            std::lock_guard lock(mutex_);
            if (report) {
                pending_.erase(file);
                delivered_[file] = before->modified;
            } else if (verdict != FileSettleDetector::Verdict::settled) {
                pending_.erase(file);
            }
        }
        const auto cancellation = co_await asio::this_coro::cancellation_state;
        if (cancellation.cancelled() != asio::cancellation_type::none) {
            co_return;
        }
        if (report) {
            onSettled_(file);
        }
    }
}

void WatchFolder::markExistingAsDelivered() {
    const Files files = regularFilesIn(url_);
    std::lock_guard lock(mutex_);
    for (const auto& [file, attributes] : files) {
        delivered_[file] = attributes.modified;
    }
}

void WatchFolder::enumerateAll() {
    for (const auto& [file, attributes] : regularFilesIn(url_)) {
        enqueueIfNew(file, attributes.modified);
    }
}

void WatchFolder::enqueueIfNew(const std::filesystem::path& file, std::optional<Date> modified) {
    std::lock_guard lock(mutex_);
    const auto delivered = delivered_.find(file);
    if (delivered == delivered_.end() || !modified || delivered->second != *modified) {
        pending_.insert(file);
    }
}

// The folder itself was deleted or moved: only the rescan can find files from now on.
void WatchFolder::eventsEnded() {
    std::lock_guard lock(mutex_);
    heardFromStream_ = false;
    lastEventID_.reset();
}

} // namespace tarnwick
