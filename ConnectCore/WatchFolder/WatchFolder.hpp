#pragma once

#include "ConnectCore/Async/Task.hpp"
#include "ConnectCore/WatchFolder/FileEventStream.hpp"
#include "ConnectCore/WatchFolder/FileSettleDetector.hpp"

#include <asio/strand.hpp>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace tarnwick {

/// Watches one folder the user chose and reports each file that has finished arriving anywhere below it,
/// once per version (modification time). Candidates come from file-change notifications and from a poll
/// that, until the first notification about a file arrives, also rescans the folder's own files; each
/// poll asks the settle detector about every candidate. Files present when watching starts are not
/// reported unless they change. Own it through a `std::shared_ptr`: its loops hold it weakly.
class WatchFolder : public std::enable_shared_from_this<WatchFolder> {
public:
    /// Called on the watcher's strand, once per settled file version.
    using OnSettled = std::function<void(const std::filesystem::path&)>;

    struct Options {
        std::chrono::milliseconds pollInterval = std::chrono::seconds(2);
    };

    /// Reads the folder (listing, attributes, notifications) on a strand of `executor`: give it one that
    /// drives no sockets.
    WatchFolder(const asio::any_io_executor& executor, std::filesystem::path url,
                std::shared_ptr<FileSettleDetector> detector, OnSettled onSettled, Options options);
    WatchFolder(const asio::any_io_executor& executor, std::filesystem::path url,
                std::shared_ptr<FileSettleDetector> detector, OnSettled onSettled)
        : WatchFolder(executor, std::move(url), std::move(detector), std::move(onSettled), Options{}) {}
    ~WatchFolder();

    WatchFolder(const WatchFolder&) = delete;
    WatchFolder& operator=(const WatchFolder&) = delete;

    /// Begins watching; without notifications (none available) polling alone goes on. Notifications are
    /// numbered on from `since`; earlier changes cannot be replayed.
    void start(std::optional<std::uint64_t> since = std::nullopt);

    /// Ends watching: no report follows once the strand has seen the stop.
    void stop();

    /// The number of the latest notification handled; none while notifications are off.
    std::optional<std::uint64_t> lastEventID() const;

    const std::filesystem::path& url() const { return url_; }

private:
    using Date = std::chrono::system_clock::time_point;

    static asio::awaitable<void> followEvents(std::weak_ptr<WatchFolder> watcher,
                                              std::unique_ptr<FileEventStream> stream);
    static asio::awaitable<void> poll(std::weak_ptr<WatchFolder> watcher, std::chrono::milliseconds interval);

    asio::awaitable<void> handle(std::vector<FileEventStream::Event> events);
    asio::awaitable<void> pollOnce();
    void markExistingAsDelivered();
    void enumerateAll();
    void enqueueIfNew(const std::filesystem::path& file, std::optional<Date> modified);
    void eventsEnded();

    const std::filesystem::path url_;
    const std::shared_ptr<FileSettleDetector> detector_;
    const OnSettled onSettled_;
    const Options options_;
    // Serialises notifications and polls, as one queue per folder.
    asio::strand<asio::any_io_executor> strand_;
    Task eventTask_;
    Task pollTask_;

    mutable std::mutex mutex_;
    // Guarded by mutex_, never held across an await or the report.
    std::set<std::filesystem::path> pending_;
    std::map<std::filesystem::path, Date> delivered_;
    bool heardFromStream_ = false;
    std::optional<std::uint64_t> lastEventID_;
};

} // namespace tarnwick
