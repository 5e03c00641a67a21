#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/posix/stream_descriptor.hpp>

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

namespace tarnwick {

/// Change notifications for the files of one folder tree, on inotify with a watch per directory:
/// folders created or moved in below the root are watched as they appear, and unwatched as they go.
class FileEventStream {
public:
    struct Event {
        enum class Kind {
            changed,    ///< a file was created, written, closed after writing, moved in or touched
            removed,    ///< a file was deleted or moved away
            mustRescan, ///< notifications were lost; `path` is the root
        };
        Kind kind;
        std::filesystem::path path;

        friend bool operator==(const Event&, const Event&) = default;
    };

    /// Watches the root and every folder below it. Throws std::system_error when the root cannot be
    /// watched (no inotify instance left, or the root is not a folder).
    FileEventStream(const asio::any_io_executor& executor, const std::filesystem::path& root);

    /// Waits for the next notifications, in the order they happened; none once the root itself has been
    /// deleted or moved, after which nothing more comes. Directories never appear in the events; files found
    /// in a folder just created do, since they may have arrived before its watch. Cancellable.
    asio::awaitable<std::optional<std::vector<Event>>> next();

private:
    void watchTree(const std::filesystem::path& folder, std::vector<Event>* filesFound);
    void watch(const std::filesystem::path& folder);
    void unwatchTree(const std::filesystem::path& folder);
    void interpretRecords(std::size_t length, std::vector<Event>& events);
    void interpret(int watch, std::uint32_t mask, std::string_view name, std::vector<Event>& events);

    asio::posix::stream_descriptor descriptor_;
    std::filesystem::path root_;
    int rootWatch_ = -1;
    std::map<int, std::filesystem::path> folders_;
    bool ended_ = false;
    alignas(8) std::array<char, 64 * 1024> buffer_{};
};

} // namespace tarnwick
