#include "ConnectCore/WatchFolder/FileEventStream.hpp"

#include <asio/buffer.hpp>
#include <asio/use_awaitable.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <system_error>

namespace tarnwick {
namespace {

// Reads (opening and closing without writing) are not changes. Symbolic links to folders are not
// followed, so the tree cannot loop or reach outside the root.
constexpr std::uint32_t watchedChanges = IN_CREATE | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVED_FROM |
                                         IN_MOVED_TO | IN_DELETE | IN_MOVE_SELF | IN_ONLYDIR |
                                         IN_DONT_FOLLOW | IN_EXCL_UNLINK;

bool isWithin(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const auto [end, _] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end();
}

} // namespace

FileEventStream::FileEventStream(const asio::any_io_executor& executor, const std::filesystem::path& root)
    : descriptor_(executor),
      root_(root) {
    const int descriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0) {
        throw std::system_error(errno, std::system_category(), "inotify_init1");
    }
    descriptor_.assign(descriptor);
    rootWatch_ = ::inotify_add_watch(descriptor, root_.c_str(), watchedChanges);
    if (rootWatch_ < 0) {
        throw std::system_error(errno, std::system_category(), "inotify_add_watch");
    }
    watchTree(root_, nullptr);
}

asio::awaitable<std::optional<std::vector<FileEventStream::Event>>> FileEventStream::next() {
    std::vector<Event> events;
    while (events.empty() && !ended_) {
        const std::size_t length =
            co_await descriptor_.async_read_some(asio::buffer(buffer_), asio::use_awaitable);
        interpretRecords(length, events);
    }
    if (events.empty()) {
        co_return std::nullopt;
    }
    co_return events;
}

// Every read returns whole records: a header, then a name padded with NULs.
void FileEventStream::interpretRecords(std::size_t length, std::vector<Event>& events) {
    for (std::size_t offset = 0; offset + sizeof(inotify_event) <= length;) {
        inotify_event header;
        std::memcpy(&header, buffer_.data() + offset, sizeof header);
        const char* name = buffer_.data() + offset + sizeof header;
        interpret(header.wd, header.mask, std::string_view(name, ::strnlen(name, header.len)), events);
        offset += sizeof header + header.len;
    }
}

void FileEventStream::interpret(int watch, std::uint32_t mask, std::string_view name,
                                std::vector<Event>& events) {
    if (mask & IN_Q_OVERFLOW) {
        // Folders created meanwhile may lack a watch.
        watchTree(root_, nullptr);
        events.push_back({Event::Kind::mustRescan, root_});
        return;
    }
    const auto folder = folders_.find(watch);
    if (folder == folders_.end()) {
        return;
    }
    if ((mask & IN_IGNORED) || (mask & IN_MOVE_SELF)) {
        // A folder moved away below the root was unwatched when its parent reported the move.
        ended_ = ended_ || watch == rootWatch_;
        if (mask & IN_IGNORED) {
            folders_.erase(folder);
        }
        return;
    }
    if (name.empty()) {
        return;
    }
    const std::filesystem::path item = folder->second / name;
    if (mask & IN_ISDIR) {
        if (mask & IN_CREATE) {
            watchTree(item, &events);
        } else if (mask & IN_MOVED_TO) {
            // Like the files it holds, a folder moved in counts as existing content.
            watchTree(item, nullptr);
        } else if (mask & IN_MOVED_FROM) {
            unwatchTree(item);
        }
        return;
    }
    const bool removed = mask & (IN_DELETE | IN_MOVED_FROM);
    events.push_back({removed ? Event::Kind::removed : Event::Kind::changed, item});
}

void FileEventStream::watchTree(const std::filesystem::path& folder, std::vector<Event>* filesFound) {
    watch(folder);
    std::error_code error;
    std::filesystem::recursive_directory_iterator entry(
        folder, std::filesystem::directory_options::skip_permission_denied, error);
    for (; !error && entry != std::filesystem::recursive_directory_iterator(); entry.increment(error)) {
        const auto status = entry->symlink_status(error);
        if (std::filesystem::is_directory(status)) {
            watch(entry->path());
        } else if (filesFound && std::filesystem::is_regular_file(status)) {
            filesFound->push_back({Event::Kind::changed, entry->path()});
        }
    }
}

void FileEventStream::watch(const std::filesystem::path& folder) {
    // Past the system's watch limit a folder stays unwatched; the rescan still covers the root.
    const int watch = ::inotify_add_watch(descriptor_.native_handle(), folder.c_str(), watchedChanges);
    if (watch >= 0) {
        folders_[watch] = folder;
    }
}

void FileEventStream::unwatchTree(const std::filesystem::path& folder) {
    std::erase_if(folders_, [&](const auto& entry) {
        const bool within = isWithin(entry.second, folder);
        if (within) {
            ::inotify_rm_watch(descriptor_.native_handle(), entry.first);
        }
        return within;
    });
}

} // namespace tarnwick
