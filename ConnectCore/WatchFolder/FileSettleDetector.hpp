#pragma once

#include "ConnectCore/Async/Actor.hpp"

#include <asio/thread_pool.hpp>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>

namespace tarnwick {

/// Decides from repeated looks at one file whether whatever writes it has finished. It keeps one sample
/// per file between calls; the caller decides how often to ask.
class FileSettleDetector : public Actor {
public:
    enum class Verdict {
        settled,      ///< unchanged for the quiet period, unlocked and complete: send it
        stillWriting, ///< changed lately, empty, locked by a writer or an unreadable media container
        abandoned,    ///< watched longer than `abandonAfter` without settling: given up
        ignored,      ///< a temporary name, or not a regular file (any more)
    };

    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::chrono::milliseconds defaultQuietPeriod = std::chrono::seconds(3);
    static constexpr std::chrono::seconds defaultAbandonAfter = std::chrono::hours(4);

    explicit FileSettleDetector(const asio::any_io_executor& executor,
                                std::chrono::milliseconds quietPeriod = defaultQuietPeriod,
                                std::chrono::seconds abandonAfter = defaultAbandonAfter,
                                Clock clock = std::chrono::steady_clock::now);

    /// Looks at the file once. Suspends only while a media container is parsed, on a thread of its own.
    asio::awaitable<Verdict> evaluate(const std::filesystem::path& file) {
        return enter(evaluateOnStrand(file));
    }

    /// Drops what the detector remembers of the file; its next evaluation starts afresh.
    asio::awaitable<void> forget(const std::filesystem::path& file) { return enter(forgetOnStrand(file)); }

    std::chrono::milliseconds quietPeriod() const { return quietPeriod_; }
    std::chrono::seconds abandonAfter() const { return abandonAfter_; }

    /// Whether the name is one that editors, browsers and cameras give files while they write them, or one
    /// inside their preview and proxy folders.
    static bool isTemporaryName(const std::filesystem::path& file);

    /// False for a movie or sound file whose container is not yet readable with a positive duration; true
    /// for every other type. Blocking: reads the container.
    static bool containerParses(const std::filesystem::path& file);

private:
    struct Sample {
        std::uint64_t size = 0;
        std::chrono::system_clock::time_point modified;
        std::chrono::steady_clock::time_point takenAt;
    };

    asio::awaitable<Verdict> evaluateOnStrand(std::filesystem::path file);
    asio::awaitable<void> forgetOnStrand(std::filesystem::path file);
    void forgetNow(const std::filesystem::path& file);

    std::map<std::filesystem::path, Sample> samples_;
    std::map<std::filesystem::path, std::chrono::steady_clock::time_point> firstSeen_;
    const std::chrono::milliseconds quietPeriod_;
    const std::chrono::seconds abandonAfter_;
    const Clock clock_;
    // Media parsing blocks; its own thread keeps it off the threads that drive sockets.
    asio::thread_pool mediaThread_{1};
};

} // namespace tarnwick
